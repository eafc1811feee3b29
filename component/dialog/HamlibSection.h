#pragma once

#include "component/api/HamlibSupport.h"

#include <QJsonObject>
#include <QWidget>

#include <memory>
#include <mutex>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace corvane::component {

// The part of the driver dialog for the "hamlib" and "rigctld" kinds: the rig
// model (searchable), serial port and speed, or the daemon's host and port,
// and a Test button. Nothing here waits on a radio or on Hamlib's model list:
// both come from worker threads and are shown when they arrive. Showing it
// for one of these kinds loads the Hamlib plugin; without the plugin the
// model list and Test say why.
//
// Object names for tests: "hamlibModels", "hamlibSearch", "hamlibPort",
// "hamlibSpeed", "rigctldHost", "rigctldPort", "hamlibTest", "hamlibResult".
class HamlibSection : public QWidget {
    Q_OBJECT

public:
    // Window's thread, like every method here.
    explicit HamlibSection(QWidget* parent = nullptr);
    ~HamlibSection() override;

    // Any thread: whether `kind` is one of the two.
    static bool handles(const QString& kind);
    // Shows the fields of `entry` when its kind is one of these, else hides.
    void load(const QJsonObject& entry);

signals:
    // A field of the entry changed; an undefined value removes the key.
    void edited(const QString& key, const QJsonValue& value);

private:
    void change(const QString& key, const QJsonValue& value);
    void showModels(const std::vector<HamlibModel>& models);
    void showNoModels(const QString& problem);
    void filterModels(const QString& text);
    void selectModel(int model);
    void runTest();
    void showResult(const QString& text);

    QJsonObject m_entry;
    bool m_filling = false;
    QWidget* m_serial;
    QWidget* m_daemon;
    QLineEdit* m_search;
    QListWidget* m_models;
    QComboBox* m_port;
    QComboBox* m_speed;
    QLineEdit* m_host;
    QSpinBox* m_tcpPort;
    QPushButton* m_test;
    QLabel* m_result;
    bool m_modelsAsked = false;

    // Runs `work` on a pool thread and `done` with its result on the window's
    // thread, unless the section is gone by then. Nothing waits and nothing
    // is polled.
    template <typename Work, typename Done> void runSlow(Work work, Done done);
    // Where pool threads hand results over; outlives the section while they run.
    struct Inbox {
        std::mutex mutex;
        bool open = true; // guarded by mutex
    };
    std::shared_ptr<Inbox> m_inbox = std::make_shared<Inbox>();
};

} // namespace corvane::component
