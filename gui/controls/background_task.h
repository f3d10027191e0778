#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "base/user_interface.h"

class QLabel;
class QProgressBar;
class QTimer;

namespace brindlecot::controls {

// How far a running task has come: bytes done against bytes expected (0: not known).
struct TaskProgress {
    std::uint64_t done = 0;
    std::uint64_t expected = 0;
};

// The small window that shows how far a task has come: the megabytes written against
// those expected, and a bar (a busy bar while the end is not known). Only the end of the
// task closes it.
class TaskProgressWindow : public QDialog {
public:
    explicit TaskProgressWindow(QWidget* owner);
    void Show(const TaskProgress& progress);
    void reject() override {}

private:
    QLabel* label_;
    QProgressBar* bar_;
};

// Runs one blocking call (a core command that ends in a library call) on a worker thread
// while the calling dialog stays painted and its event loop keeps running.
//
// The library's services are not reentrant, so at most one task runs in the whole
// process. While it runs, the given controls are disabled and the owner cannot be closed
// (Escape, the close box); once it has run longer than kProgressDelay, a small progress
// window shows how far it has come. Whatever the work says to or asks of the person is
// carried over to the GUI thread and answered there, one call at a time, while the worker
// waits: the core never touches a widget from another thread.
class BackgroundTask : public QObject {
    Q_OBJECT

public:
    using Work = std::function<bool(UserInterface& ui)>;
    // Polled on the GUI thread while the progress window is up.
    using ProgressProbe = std::function<TaskProgress()>;

    static constexpr std::chrono::milliseconds kProgressDelay{500};
    static constexpr std::chrono::milliseconds kProgressPollInterval{100};

    // `person` answers the work's messages and questions on the GUI thread; it must
    // outlive the task. Message boxes and the progress window open over `owner`.
    BackgroundTask(QWidget* owner, UserInterface& person);
    ~BackgroundTask() override;

    BackgroundTask(const BackgroundTask&) = delete;
    BackgroundTask& operator=(const BackgroundTask&) = delete;

    // Controls that are disabled while a task runs and get their own state back after.
    void SetControlsToDisable(std::vector<QWidget*> controls);

    // Runs `work` off the GUI thread and answers its result once it has finished; the
    // caller's event loop runs meanwhile. Nothing is run (and nothing is answered) when a
    // task is already running anywhere in the process.
    std::optional<bool> Run(Work work, ProgressProbe probe = {});

    bool IsRunning() const { return running_; }
    static bool AnyRunning();

    // The progress window while it is shown, else nullptr.
    TaskProgressWindow* ProgressWindow() const { return progress_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class GuiThreadInterface;

    void ShowProgress();
    void UpdateProgress();
    void HideProgress();
    void PauseProgressForInteraction();
    void ResumeProgressAfterInteraction();
    void SetControlsEnabled(bool enabled);

    QPointer<QWidget> owner_;
    UserInterface& person_;
    std::vector<QPointer<QWidget>> controls_;
    std::vector<bool> controlsWereEnabled_;
    ProgressProbe probe_;
    QTimer* progressDelay_;
    QTimer* progressPoll_;
    QPointer<TaskProgressWindow> progress_;
    bool running_ = false;
};

}  // namespace brindlecot::controls
