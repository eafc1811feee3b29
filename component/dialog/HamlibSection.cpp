#include "component/dialog/HamlibSection.h"
#include "component/hamlib/HamlibEntryReader.h"
#include "component/hamlib/HamlibPluginLoader.h"
#include "component/hamlib/HamlibPort.h"

#include "receiver/RuntimeError.h"

#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QThreadPool>
#include <QVBoxLayout>

#include <mutex>
#include <optional>

namespace corvane::component {

namespace {

QStringList serialPorts() {
    const QDir dev(QStringLiteral("/dev"));
    QStringList out;
    for (const QString& name :
         dev.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")}, QDir::System)) {
        out.append(dev.filePath(name));
    }
    for (int i = 0; i < 4; ++i) {
        out.append(QStringLiteral("/dev/ttyS%1").arg(i));
    }
    return out;
}

// Where the section's slow work runs: reading every backend's models and
// testing a link, which may wait a whole timeout on a silent radio. A pool of
// its own, so that waiting never starves anything else of the global pool's
// threads; never deleted, so that closing the program does not wait on it.
QThreadPool& slowPool() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(4);
        p->setExpiryTimeout(5000);
        return p;
    }();
    return *pool;
}

// Hamlib's models, read once per process whichever section asks first.
// Pool threads only: reading them loads every backend.
std::vector<HamlibModel> models(HamlibSupport* support) {
    // Never destroyed, like the pool: a read still running when the program
    // ends must not meet the list being torn down.
    struct Read {
        std::mutex mutex;
        std::optional<std::vector<HamlibModel>> models; // guarded by mutex
    };
    static Read* const read = new Read;
    std::lock_guard lock(read->mutex);
    if (!read->models) {
        read->models = support->listModels();
    }
    return *read->models;
}

} // namespace

HamlibSection::HamlibSection(QWidget* parent)
    : QWidget(parent), m_serial(new QWidget(this)), m_daemon(new QWidget(this)),
      m_search(new QLineEdit(m_serial)), m_models(new QListWidget(m_serial)),
      m_port(new QComboBox(m_serial)), m_speed(new QComboBox(m_serial)),
      m_host(new QLineEdit(m_daemon)), m_tcpPort(new QSpinBox(m_daemon)),
      m_test(new QPushButton(tr("Test"), this)), m_result(new QLabel(this)) {
    m_search->setObjectName(QStringLiteral("hamlibSearch"));
    m_models->setObjectName(QStringLiteral("hamlibModels"));
    m_port->setObjectName(QStringLiteral("hamlibPort"));
    m_speed->setObjectName(QStringLiteral("hamlibSpeed"));
    m_host->setObjectName(QStringLiteral("rigctldHost"));
    m_tcpPort->setObjectName(QStringLiteral("rigctldPort"));
    m_test->setObjectName(QStringLiteral("hamlibTest"));
    m_result->setObjectName(QStringLiteral("hamlibResult"));
    m_result->setWordWrap(true);
    // Shown only with something to say, so the dialog has no gap below Test.
    m_result->hide();

    m_search->setPlaceholderText(tr("Search manufacturer or model"));
    m_models->addItem(tr("Loading Hamlib's models..."));
    m_models->setEnabled(false);
    m_port->setEditable(true);
    m_port->addItems(serialPorts());
    m_speed->setEditable(true);
    m_speed->addItems({QString(), "4800", "9600", "19200", "38400", "57600", "115200"});
    m_tcpPort->setRange(1, 65535);
    m_tcpPort->setValue(4532);

    auto* serial = new QFormLayout(m_serial);
    serial->setContentsMargins(0, 0, 0, 0);
    serial->addRow(tr("Model"), m_search);
    serial->addRow(QString(), m_models);
    serial->addRow(tr("Port"), m_port);
    serial->addRow(tr("Speed"), m_speed);
    auto* daemon = new QFormLayout(m_daemon);
    daemon->setContentsMargins(0, 0, 0, 0);
    daemon->addRow(tr("Host"), m_host);
    daemon->addRow(tr("Port"), m_tcpPort);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_serial);
    layout->addWidget(m_daemon);
    layout->addWidget(m_test);
    layout->addWidget(m_result);

    connect(m_search, &QLineEdit::textChanged, this, &HamlibSection::filterModels);
    connect(m_models, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item != nullptr && item->data(Qt::UserRole).isValid()) {
            change(QStringLiteral("model"), item->data(Qt::UserRole).toInt());
        }
    });
    // An empty field leaves the port to Hamlib's default for the model.
    connect(m_port, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        const QString port = text.trimmed();
        change(QStringLiteral("port"),
               port.isEmpty() ? QJsonValue(QJsonValue::Undefined) : QJsonValue(port));
    });
    connect(m_speed, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        bool ok = false;
        const int baud = text.trimmed().toInt(&ok);
        change(QStringLiteral("speed"), ok ? QJsonValue(baud) : QJsonValue(QJsonValue::Undefined));
    });
    connect(m_host, &QLineEdit::textChanged, this,
            [this](const QString& text) { change(QStringLiteral("host"), text.trimmed()); });
    connect(m_tcpPort, &QSpinBox::valueChanged, this,
            [this](int port) { change(QStringLiteral("port"), port); });
    connect(m_test, &QPushButton::clicked, this, &HamlibSection::runTest);
    hide();
}

HamlibSection::~HamlibSection() {
    // Nothing is handed over after this; what was is ordered before it, so
    // the events still queued for this section go with it cleanly.
    std::lock_guard lock(m_inbox->mutex);
    m_inbox->open = false;
}

template <typename Work, typename Done> void HamlibSection::runSlow(Work work, Done done) {
    slowPool().start(
        [inbox = m_inbox, self = this, work = std::move(work), done = std::move(done)]() mutable {
            auto result = work();
            // Posted under the inbox's lock and taken under it: the window's
            // thread then sees everything this thread did before, the posted
            // event included.
            std::lock_guard lock(inbox->mutex);
            if (!inbox->open) {
                return; // the section is gone
            }
            QMetaObject::invokeMethod(
                self,
                [inbox, result = std::move(result), done = std::move(done)]() mutable {
                    { std::lock_guard taken(inbox->mutex); }
                    done(result);
                },
                Qt::QueuedConnection);
        });
}

bool HamlibSection::handles(const QString& kind) {
    return kind == QLatin1String("hamlib") || kind == QLatin1String("rigctld");
}

void HamlibSection::load(const QJsonObject& entry) {
    const QString kind = entry.value(QLatin1String("kind")).toString();
    m_entry = entry;
    setVisible(handles(kind));
    if (!handles(kind)) {
        return;
    }
    if (!m_modelsAsked) {
        m_modelsAsked = true;
        const HamlibPlugin& plugin = hamlibPlugin(); // loaded here, on the window's thread
        if (plugin.support == nullptr) {
            showNoModels(plugin.problem);
        } else {
            runSlow([support = plugin.support] { return models(support); },
                    [this](const std::vector<HamlibModel>& list) { showModels(list); });
        }
    }
    m_filling = true;
    const bool daemon = kind == QLatin1String("rigctld");
    m_serial->setVisible(!daemon);
    m_daemon->setVisible(daemon);
    const QJsonValue port = entry.value(QLatin1String("port"));
    if (daemon) {
        m_host->setText(entry.value(QLatin1String("host")).toString());
        m_tcpPort->setValue(port.isDouble() ? port.toInt() : 4532);
    } else {
        m_port->setCurrentText(port.toString());
        const QJsonValue speed = entry.value(QLatin1String("speed"));
        m_speed->setCurrentText(speed.isDouble() ? QString::number(speed.toInt()) : QString());
        selectModel(entry.value(QLatin1String("model")).toInt());
    }
    showResult({});
    m_filling = false;
}

void HamlibSection::change(const QString& key, const QJsonValue& value) {
    if (m_filling) {
        return;
    }
    if (value.isUndefined()) {
        m_entry.remove(key);
    } else {
        m_entry.insert(key, value);
    }
    emit edited(key, value);
}

void HamlibSection::showModels(const std::vector<HamlibModel>& models) {
    const bool wasFilling = m_filling;
    m_filling = true;
    m_models->clear();
    for (const HamlibModel& m : models) {
        auto* item = new QListWidgetItem(m.label(), m_models);
        item->setData(Qt::UserRole, m.model);
        item->setToolTip(QStringLiteral("%1, %2").arg(m.version, m.status));
    }
    m_models->setEnabled(true);
    filterModels(m_search->text());
    selectModel(m_entry.value(QLatin1String("model")).toInt());
    m_filling = wasFilling;
}

void HamlibSection::showNoModels(const QString& problem) {
    m_models->clear();
    m_models->addItem(problem);
    m_models->setEnabled(false);
}

void HamlibSection::filterModels(const QString& text) {
    const QStringList words = text.split(u' ', Qt::SkipEmptyParts);
    for (int i = 0; i < m_models->count(); ++i) {
        QListWidgetItem* item = m_models->item(i);
        const bool match = std::all_of(words.begin(), words.end(), [&](const QString& w) {
            return item->text().contains(w, Qt::CaseInsensitive);
        });
        item->setHidden(!match);
    }
}

void HamlibSection::selectModel(int model) {
    const bool wasFilling = m_filling;
    m_filling = true;
    for (int i = 0; i < m_models->count(); ++i) {
        QListWidgetItem* item = m_models->item(i);
        if (item->data(Qt::UserRole).toInt() == model) {
            m_models->setCurrentItem(item);
            m_models->scrollToItem(item);
            break;
        }
    }
    m_filling = wasFilling;
}

void HamlibSection::showResult(const QString& text) {
    m_result->setText(text);
    m_result->setVisible(!text.isEmpty());
}

void HamlibSection::runTest() {
    HamlibEntry entry;
    try {
        entry = readHamlibEntry(m_entry);
    } catch (const receiver::RuntimeError& e) {
        showResult(e.description());
        return;
    }
    // What cannot be a radio's port is never opened, not even for a test.
    if (std::optional<QString> why = radioPortProblem(entry)) {
        showResult(*why);
        return;
    }
    const HamlibPlugin& plugin = hamlibPlugin();
    if (plugin.support == nullptr) {
        showResult(plugin.problem);
        return;
    }
    m_test->setEnabled(false);
    showResult(tr("Testing..."));
    runSlow([support = plugin.support, entry] { return support->testLink(entry); },
            [this](const QString& text) {
                showResult(text);
                m_test->setEnabled(true);
            });
}

} // namespace corvane::component
