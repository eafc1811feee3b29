#include "window/MainWindow.h"

#include "settings/NumberText.h"

#include <QFontMetricsF>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace corvane::window {

namespace {

// Positions and sizes are kept in twentieths of a point, as the window was
// drawn for an 8-point system font with 13-pixel lines; at 96 dots per inch 15
// of them make one pixel. With a larger default font the whole layout grows by
// the same factor, so captions fit and the controls keep their places relative
// to each other.
constexpr double kDesignLineHeight = 13.0;

double scaleFor(const QFont& font) {
    return std::clamp(QFontMetricsF(font).height() / kDesignLineHeight, 1.0, 3.0);
}

struct Caption {
    int index;
    const char* text;
    int left, top, width, height;
    const char* buddy; // the control the caption names
};

// The ten fixed caption labels, one group told apart by index.
constexpr Caption kCaptions[] = {
    {0, "AGC", 1560, 1260, 615, 255, "Agc"},   {1, "ROMId", 0, 480, 615, 255, "RomID"},
    {2, "FrqMax", 0, 720, 615, 255, "FrqMax"}, {3, "Rx", 0, 10, 615, 255, "Driver"},
    {4, "FRQ", 1560, 645, 615, 255, "Freq"},   {5, "MODE", 0, 1260, 615, 255, "Mode"},
    {6, "NB", 3000, 1260, 615, 255, "NB"},     {7, "ATT", 4320, 1260, 615, 255, "Att"},
    {8, "FLT", 3360, 645, 615, 255, "Filter"}, {9, "FrqMin", 0, 960, 615, 255, "FrqMin"},
};

} // namespace

void setBackColor(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, color);
    label->setPalette(palette);
}

QString connStateWords(const QColor& colour) {
    if (colour == kGreen) {
        return QStringLiteral("under remote control");
    }
    if (colour == kYellow) {
        return QStringLiteral("connected");
    }
    return QStringLiteral("not connected");
}

int MainWindow::px(int twips) const {
    return static_cast<int>(std::lround(twips * m_scale / 15.0));
}

void MainWindow::place(QWidget* w, int left, int top, int width, int height) const {
    w->setGeometry(px(left), px(top), px(width), px(height));
}

QColor backColor(const QLabel& label) {
    return label.palette().color(QPalette::Window);
}

MainWindow::MainWindow(receiver::ComponentFactory factory, controls::ErrorReporter* reporter,
                       QWidget* parent)
    : QWidget(parent), m_factory(std::move(factory)), m_ownReporter(this),
      m_reporter(reporter != nullptr ? reporter : &m_ownReporter) {
    m_mode = std::make_unique<settings::ChoiceList>(settings::kModeTraits, *Mode, *this);
    m_agc = std::make_unique<settings::ChoiceList>(settings::kAgcTraits, *Agc, *this);
    m_nb = std::make_unique<settings::ChoiceList>(settings::kNBTraits, *NB, *this);
    m_att = std::make_unique<settings::ChoiceList>(settings::kAttTraits, *Att, *this);
    m_filter = std::make_unique<settings::FilterList>(*Filter, *this);
    m_frequency = std::make_unique<settings::FrequencyEntry>(*Freq, *DeltaF, *Read, *this);
    m_signals = std::make_unique<settings::SignalIndications>(*SMet, *this);
    buildControls();
    bindHandlers();
}

MainWindow::~MainWindow() {
    // Children are deleted after this body; none of their last signals (a list
    // losing its selection as it is torn down) may reach a handler.
    if (Receiver) {
        Receiver->disconnect(this);
    }
    delete m_keyPreview;
    for (QWidget* child : findChildren<QWidget*>()) {
        child->blockSignals(true);
    }
}

void MainWindow::buildControls() {
    setObjectName(QStringLiteral("Test"));
    setWindowTitle(QStringLiteral("Corvane Test"));
    m_scale = scaleFor(font());
    setFixedSize(px(5385), px(1665));

    struct Control {
        QWidget* widget;
        const char* name;
        const char* caption;
        const char* tooltip;
        int left, top, width, height;
        // What a screen reader calls it. A control the operator works is named
        // by the caption beside it (buttons by their own); a label that shows
        // a value is named by that value, and this describes it.
        const char* spoken;
    };
    // In tab order.
    const Control controls[] = {
        {Dialog, "Dialog", "Config Driver", "Add/Configure drivers", 1800, 0, 735, 495, nullptr},
        {Driver, "Driver", nullptr, "Select current receiver", 600, 0, 855, 450, "Rx"},
        {Connect, "Connect", "Connect", "Connect current receiver", 2520, 0, 975, 255, nullptr},
        {Disconnect, "Disconnect", "Disconnect", "Disconnect current receiver", 3480, 0, 975, 255,
         nullptr},
        {RomID, "RomID", nullptr, nullptr, 600, 480, 855, 255, "ROMId"},
        {FrqMax, "FrqMax", nullptr, nullptr, 600, 720, 855, 255, "FrqMax"},
        {Remote, "Remote", "Remote", "Take control of current connected receiver", 2520, 240, 975,
         255, nullptr},
        {Local, "Local", "Local", "Release control of current connected receiver", 3480, 240, 975,
         255, nullptr},
        {ConnState, "ConnState", nullptr, "Connection state", 4560, 0, 855, 255, nullptr},
        {Freq, "Freq", nullptr, nullptr, 1920, 840, 855, 285, "FRQ"},
        {Mode, "Mode", nullptr, nullptr, 600, 1200, 855, 450, "MODE"},
        {Read, "Read", nullptr, nullptr, 1920, 600, 855, 255, "Frequency read"},
        {Agc, "Agc", nullptr, nullptr, 1920, 1200, 975, 450, "AGC"},
        {NB, "NB", nullptr, nullptr, 3360, 1200, 855, 450, "NB"},
        {Att, "Att", nullptr, nullptr, 4680, 1200, 735, 450, "ATT"},
        {Filter, "Filter", nullptr, nullptr, 3720, 600, 1695, 450, "FLT"},
        {BFO, "BFO", nullptr, nullptr, 2760, 600, 495, 255, "BFO"},
        {FrqMin, "FrqMin", nullptr, nullptr, 600, 960, 855, 255, "FrqMin"},
        {DeltaF, "DeltaF", nullptr, nullptr, 2760, 840, 495, 285, "DeltaF"},
        {SMet, "SMet", nullptr, "SMeter", 4560, 240, 855, 255, nullptr},
        {Coupling, "Coupling", nullptr, "Forward changes from one receiver to any other", 1560, 0,
         255, 255, nullptr},
    };
    QWidget* previous = nullptr;
    for (const Control& c : controls) {
        c.widget->setObjectName(QString::fromLatin1(c.name));
        place(c.widget, c.left, c.top, c.width, c.height);
        if (c.tooltip != nullptr) {
            c.widget->setToolTip(QString::fromLatin1(c.tooltip));
        }
        if (auto* button = qobject_cast<QPushButton*>(c.widget); button != nullptr) {
            button->setText(QString::fromLatin1(c.caption));
        }
        if (auto* label = qobject_cast<QLabel*>(c.widget); label != nullptr) {
            // Display only, and what the component returns is shown as it is,
            // never read as markup.
            label->setFocusPolicy(Qt::NoFocus);
            label->setTextFormat(Qt::PlainText);
            // Below every control it may touch at an edge, which keeps the
            // whole of each control clickable.
            label->lower();
            if (c.spoken != nullptr) {
                label->setAccessibleDescription(QString::fromLatin1(c.spoken));
            }
        } else if (c.spoken != nullptr) {
            c.widget->setAccessibleName(QString::fromLatin1(c.spoken));
        }
        if (c.widget->focusPolicy() != Qt::NoFocus) {
            if (previous != nullptr) {
                setTabOrder(previous, c.widget);
            }
            previous = c.widget;
        }
    }
    // The box has no caption: its name says what it does, its description
    // what the window calls it.
    Coupling->setAccessibleName(Coupling->toolTip());
    Coupling->setAccessibleDescription(QStringLiteral("Coupling"));

    for (const Caption& c : kCaptions) {
        auto* label = new QLabel(QString::fromLatin1(c.text), this);
        label->setObjectName(QStringLiteral("Label"));
        label->setProperty("index", c.index);
        label->setTextFormat(Qt::PlainText);
        place(label, c.left, c.top, c.width, c.height);
        // A caption reaches into the control it names; it never takes that
        // control's click, and sits under it.
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->lower();
        label->setBuddy(
            findChild<QWidget*>(QString::fromLatin1(c.buddy), Qt::FindDirectChildrenOnly));
        Label[static_cast<size_t>(c.index)] = label;
    }

    DeltaF->setText(QStringLiteral("0"));
    ConnState->setAutoFillBackground(true);
    showConnState(kRed);
}

void MainWindow::showConnState(const QColor& colour) {
    setBackColor(ConnState, colour);
    ConnState->setAccessibleName(connStateWords(colour));
}

controls::Binding MainWindow::bind(const char* name, std::function<void()> handler) {
    return controls::Binding{QString::fromLatin1(name), std::move(handler), m_reporter};
}

void MainWindow::bindHandlers() {
    Dialog->setMouseDown(
        QStringLiteral("Dialog_MouseDown"), [this](int16_t shift) { Dialog_MouseDown(shift); },
        m_reporter);
    Dialog->setClick(bind("Dialog_Click", [this] { Dialog_Click(); }));
    Driver->setClick(bind("Driver_Click", [this] { Driver_Click(); }));
    Connect->setClick(bind("Connect_Click", [this] { Connect_Click(); }));
    Disconnect->setClick(bind("Disconnect_Click", [this] { Disconnect_Click(); }));
    Remote->setClick(bind("Remote_Click", [this] { Remote_Click(); }));
    Local->setClick(bind("Local_Click", [this] { Local_Click(); }));
    connect(Coupling, &QCheckBox::clicked, this,
            [this] { bind("Coupling_Click", [this] { Coupling_Click(); }).runAtBoundary(); });

    Mode->setClick(bind("Mode_Click", [this] { m_mode->click(); }));
    Agc->setClick(bind("Agc_Click", [this] { m_agc->click(); }));
    NB->setClick(bind("NB_Click", [this] { m_nb->click(); }));
    Att->setClick(bind("Att_Click", [this] { m_att->click(); }));
    Filter->setClick(bind("Filter_Click", [this] { m_filter->click(); }));
    m_mode->setRebuildDependents([this] {
        LoadFilterList(receiver().RxFlt(CurRx));
        LoadAgcList(receiver().RxAgc(CurRx));
    });

    Freq->setValidate(
        QStringLiteral("Freq_Validate"),
        [this](bool& cancel) { m_frequency->freqValidate(cancel); }, m_reporter);
    DeltaF->setValidate(
        QStringLiteral("DeltaF_Validate"),
        [this](bool& cancel) { m_frequency->deltaFValidate(cancel); }, m_reporter);

    m_keyPreview = new controls::KeyPreview(
        this, QStringLiteral("Form_KeyPress"), [this](int16_t key) { Form_KeyPress(key); },
        m_reporter);
}

void MainWindow::connectReceiverEvents() {
    using C = receiver::Component;
    C* rx = Receiver.get();
    // Each event handler is a boundary of its own: a failure in one is
    // reported and the window goes on with the next event.
    auto at = [this](const char* name, std::function<void()> handler) {
        controls::runHandler(m_reporter, QString::fromLatin1(name), handler);
    };
    connect(rx, &C::DrvUpdated, this, [=, this](int32_t n) {
        at("Receiver_DrvUpdated", [=, this] { Receiver_DrvUpdated(n); });
    });
    connect(rx, &C::RxConnState, this, [=, this](int16_t i, int32_t e) {
        at("Receiver_RxConnState", [=, this] { Receiver_RxConnState(i, e); });
    });
    connect(rx, &C::RxDataError, this, [=, this](int16_t i, int32_t e) {
        at("Receiver_RxDataError", [=, this] { Receiver_RxDataError(i, e); });
    });
    connect(rx, &C::RxFrqUpdated, this, [=, this](int16_t i, int32_t f, int32_t c) {
        at("Receiver_RxFrqUpdated", [=, this] { m_frequency->frqUpdated(i, f, c); });
    });
    connect(rx, &C::RxModUpdated, this, [=, this](int16_t i, int32_t m, int32_t o) {
        at("Receiver_RxModUpdated", [=, this] { Receiver_RxModUpdated(i, m, o); });
    });
    connect(rx, &C::RxFltUpdated, this, [=, this](int16_t i, int32_t f) {
        at("Receiver_RxFltUpdated", [=, this] { m_filter->updated(i, f); });
    });
    connect(rx, &C::RxAgcUpdated, this, [=, this](int16_t i, int32_t s, int16_t) {
        at("Receiver_RxAgcUpdated", [=, this] { m_agc->updated(i, s); });
    });
    connect(rx, &C::RxNBlUpdated, this, [=, this](int16_t i, int32_t s, int16_t) {
        at("Receiver_RxNBlUpdated", [=, this] { m_nb->updated(i, s); });
    });
    connect(rx, &C::RxAttUpdated, this, [=, this](int16_t i, int32_t s, int16_t) {
        at("Receiver_RxAttUpdated", [=, this] { m_att->updated(i, s); });
    });
    connect(rx, &C::RxHFFUpdated, this, [=, this](int16_t i, int32_t s) {
        at("Receiver_RxHFFUpdated", [=, this] { m_signals->hffUpdated(i, s); });
    });
    connect(rx, &C::RxSMtUpdated, this,
            [=, this](int16_t i, int32_t f, int16_t v, int16_t db, const QString& sp) {
                at("Receiver_RxSMtUpdated",
                   [=, this] { m_signals->smeterUpdated(i, f, v, db, sp); });
            });
}

receiver::Component& MainWindow::receiver() {
    if (!Receiver) {
        throw receiver::RuntimeError(receiver::RuntimeError::ObjectNotSet,
                                     QStringLiteral("Object variable not set (no component)"));
    }
    return *Receiver;
}

void MainWindow::Receiver_RxModUpdated(int16_t Index, int32_t Mods, int32_t Off) {
    if (m_mode->updated(Index, Mods)) {
        BFO->setText(settings::numberText(Off));
    }
}

} // namespace corvane::window
