#pragma once

#include "controls/Button.h"
#include "controls/Handler.h"
#include "controls/KeyPreview.h"
#include "controls/ListBox.h"
#include "controls/MessageReporter.h"
#include "controls/TextBox.h"
#include "receiver/Component.h"
#include "settings/ChoiceList.h"
#include "settings/FilterList.h"
#include "settings/FrequencyEntry.h"
#include "settings/Host.h"
#include "settings/SignalIndications.h"

#include <QCheckBox>
#include <QLabel>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

namespace corvane::window {

// The program's one window, "Corvane Test" (object name "Test"). It owns the
// component instance (Receiver), the current receiver (CurRx), the modifier
// state of the last press on Config Driver (ConfigShift), and its controls.
// Its control and handler names are those the operator's documentation and
// the trace use.
//
// How the window works, in brief.
//
// Who owns what: MainWindow owns everything here. `Receiver` is the component,
// made by the factory handed to the constructor (the window never names a
// concrete one); `CurRx` is the receiver that buttons and lists act on; the
// controls are the window's children, named as the operator's documentation
// names them. The settings objects (ChoiceList for Mode, AGC, NB and ATT;
// FilterList; FrequencyEntry; SignalIndications) each drive their controls
// and reach the window through settings::Host.
//
// A click: the control's adapter (controls::ListBox, Button, TextBox) runs the
// bound handler (bindHandlers()) at once, before the call that changed the
// control returns, also when code selected the entry. The handler calls the
// component for CurRx; a run-time error ends it and goes to the ErrorReporter.
//
// An event: the component queues what its receivers report and delivers it on
// this thread from the event loop (connectReceiverEvents()). A handler acts
// only when the event's Index is the Driver list's selected position, and
// redraws by reading the component again.
//
// Keys: controls::KeyPreview sees each typed character before the focused
// control does, and Form_KeyPress forwards it to the receiver.
class MainWindow : public QWidget, public settings::Host {
    Q_OBJECT

public:
    // reporter: where run-time errors go; null for the window's own report.
    explicit MainWindow(receiver::ComponentFactory factory,
                        controls::ErrorReporter* reporter = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs Form_Load. Afterwards isUnloaded() tells whether the window may be shown.
    void load();
    bool isUnloaded() const { return m_unloaded; }
    // Pixels per design unit times 15: 1.0 for the 8-point font the layout was
    // drawn for, more when the default font is larger.
    double layoutScale() const { return m_scale; }
    int px(int twips) const;
    int16_t configShift() const { return ConfigShift; }
    // The window's own report (used when it was given no reporter).
    controls::MessageReporter& ownReporter() { return m_ownReporter; }

    // settings::Host
    receiver::Component& receiver() override;
    int16_t curRx() const override { return CurRx; }
    int16_t selectedReceiver() const override { return Driver->listIndex(); }

    // --- start-up and driver list ---
    void Form_Load();
    void Dialog_MouseDown(int16_t Shift);
    void Dialog_Click();
    void Receiver_DrvUpdated(int32_t Count);

    // --- selection and status panel ---
    void Driver_Click();
    void RefreshReceiver();
    void RefreshStatus();

    // --- connection commands and state events ---
    void Connect_Click();
    void Disconnect_Click();
    void Remote_Click();
    void Local_Click();
    void Receiver_RxConnState(int16_t Index, int32_t Err);
    void Receiver_RxDataError(int16_t Index, int32_t Err);

    // --- coupling and key forwarding ---
    void Coupling_Click();
    void Form_KeyPress(int16_t KeyAscii);

    // --- receiver settings ---
    void LoadModeList(int32_t current) { m_mode->load(current); }
    void LoadAgcList(int32_t current) { m_agc->load(current); }
    void LoadNBList(int32_t current) { m_nb->load(current); }
    void LoadAttList(int32_t current) { m_att->load(current); }
    void LoadFilterList(int32_t value) { m_filter->load(value); }
    void Receiver_RxModUpdated(int16_t Index, int32_t Mods, int32_t Off);

signals:
    // The window was unloaded: the program ends.
    void unloaded();

private:
    void buildControls();
    void place(QWidget* w, int left, int top, int width, int height) const;
    void bindHandlers();
    void connectReceiverEvents();
    void fillDriverList();
    void unload();
    // Paints ConnState and says the same in words to a screen reader.
    void showConnState(const QColor& colour);
    controls::Binding bind(const char* name, std::function<void()> handler);

    // Window-level state.
    std::unique_ptr<receiver::Component> Receiver;
    int16_t CurRx = 0;
    int16_t ConfigShift = 0;

    // Controls, by the names the window is documented with. Outside the window
    // they are found by object name (the same names).
    std::array<QLabel*, 10> Label{};
    controls::Button* Dialog = new controls::Button(QString(), this);
    controls::ListBox* Driver = new controls::ListBox(this);
    controls::Button* Connect = new controls::Button(QString(), this);
    controls::Button* Disconnect = new controls::Button(QString(), this);
    QLabel* RomID = new QLabel(this);
    QLabel* FrqMax = new QLabel(this);
    controls::Button* Remote = new controls::Button(QString(), this);
    controls::Button* Local = new controls::Button(QString(), this);
    QLabel* ConnState = new QLabel(this);
    controls::TextBox* Freq = new controls::TextBox(this);
    controls::ListBox* Mode = new controls::ListBox(this);
    QLabel* Read = new QLabel(this);
    controls::ListBox* Agc = new controls::ListBox(this);
    controls::ListBox* NB = new controls::ListBox(this);
    controls::ListBox* Att = new controls::ListBox(this);
    controls::ListBox* Filter = new controls::ListBox(this);
    QLabel* BFO = new QLabel(this);
    QLabel* FrqMin = new QLabel(this);
    controls::TextBox* DeltaF = new controls::TextBox(this);
    QLabel* SMet = new QLabel(this);
    QCheckBox* Coupling = new QCheckBox(this);

    receiver::ComponentFactory m_factory;
    controls::MessageReporter m_ownReporter;
    controls::ErrorReporter* m_reporter;
    bool m_unloaded = false;
    double m_scale = 1.0;

    // Made in the constructor's body, once every control exists.
    std::unique_ptr<settings::ChoiceList> m_mode;
    std::unique_ptr<settings::ChoiceList> m_agc;
    std::unique_ptr<settings::ChoiceList> m_nb;
    std::unique_ptr<settings::ChoiceList> m_att;
    std::unique_ptr<settings::FilterList> m_filter;
    std::unique_ptr<settings::FrequencyEntry> m_frequency;
    std::unique_ptr<settings::SignalIndications> m_signals;
    controls::KeyPreview* m_keyPreview = nullptr;
};

// The indicator colours of ConnState.
inline const QColor kRed{255, 0, 0};
inline const QColor kYellow{255, 255, 0};
inline const QColor kGreen{0, 255, 0};

// The background colour a label shows, and setting it.
QColor backColor(const QLabel& label);
void setBackColor(QLabel* label, const QColor& color);

// What a screen reader says for each colour of ConnState.
QString connStateWords(const QColor& colour);

} // namespace corvane::window
