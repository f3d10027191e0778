#include "gui/controls/background_task.h"

#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <thread>
#include <type_traits>

namespace brindlecot::controls {
namespace {

// One task in the whole process: the library refills process-wide state on every call.
std::atomic<bool> taskRunning{false};

constexpr int kProgressSteps = 1000;
constexpr double kBytesPerMegabyte = 1024.0 * 1024.0;

// Sizes in megabytes need no translation, so the progress window carries no text of its
// own that a catalogue would have to hold.
QString ProgressText(const TaskProgress& progress) {
    // Nothing counted yet and no end known: a busy bar says all there is.
    if (progress.done == 0 && progress.expected == 0)
        return {};
    const QString done =
        QString::number(static_cast<double>(progress.done) / kBytesPerMegabyte, 'f', 1);
    if (progress.expected == 0)
        return QStringLiteral("%1 MB").arg(done);
    const QString expected =
        QString::number(static_cast<double>(progress.expected) / kBytesPerMegabyte, 'f', 1);
    return QStringLiteral("%1 MB / %2 MB").arg(done, expected);
}

}  // namespace

TaskProgressWindow::TaskProgressWindow(QWidget* owner)
    : QDialog(owner), label_(new QLabel(this)), bar_(new QProgressBar(this)) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    bar_->setMinimumWidth(260);
    layout->addWidget(label_);
    layout->addWidget(bar_);
}

void TaskProgressWindow::Show(const TaskProgress& progress) {
    label_->setText(ProgressText(progress));
    if (progress.expected == 0) {
        bar_->setRange(0, 0);  // busy: the end is not known
        return;
    }
    bar_->setRange(0, kProgressSteps);
    const double share = static_cast<double>(std::min(progress.done, progress.expected)) /
                         static_cast<double>(progress.expected);
    bar_->setValue(static_cast<int>(share * kProgressSteps));
}

// Carries every call of the work over to the GUI thread and waits for its answer, so that
// message boxes and file dialogs are made and run where Qt allows them.
class BackgroundTask::GuiThreadInterface final : public UserInterface {
public:
    explicit GuiThreadInterface(BackgroundTask& task) : task_(task) {}

    void ShowMessage(const std::string& caption, const std::string& text) override {
        OnGuiThread([&] { task_.person_.ShowMessage(caption, text); });
    }
    bool AskYesNo(const std::string& caption, const std::string& text) override {
        return OnGuiThread([&] { return task_.person_.AskYesNo(caption, text); });
    }
    bool AskYesNoDefaultNo(const std::string& caption, const std::string& text) override {
        return OnGuiThread([&] { return task_.person_.AskYesNoDefaultNo(caption, text); });
    }
    std::optional<std::string> ChooseFileToOpen(const std::string& filter,
                                                FilePurpose purpose) override {
        return OnGuiThread([&] { return task_.person_.ChooseFileToOpen(filter, purpose); });
    }
    std::optional<std::string> ChooseFileToSave(const std::string& filter,
                                                FilePurpose purpose) override {
        return OnGuiThread([&] { return task_.person_.ChooseFileToSave(filter, purpose); });
    }

private:
    template <typename Call>
    auto OnGuiThread(Call call) -> std::invoke_result_t<Call> {
        using Result = std::invoke_result_t<Call>;
        auto interact = [this, &call]() -> Result {
            task_.PauseProgressForInteraction();
            if constexpr (std::is_void_v<Result>) {
                call();
                task_.ResumeProgressAfterInteraction();
            } else {
                Result result = call();
                task_.ResumeProgressAfterInteraction();
                return result;
            }
        };
        if (QThread::currentThread() == task_.thread())
            return interact();
        if constexpr (std::is_void_v<Result>) {
            QMetaObject::invokeMethod(&task_, interact, Qt::BlockingQueuedConnection);
        } else {
            Result result{};
            QMetaObject::invokeMethod(
                &task_, [&] { result = interact(); }, Qt::BlockingQueuedConnection);
            return result;
        }
    }

    BackgroundTask& task_;
};

BackgroundTask::BackgroundTask(QWidget* owner, UserInterface& person)
    : QObject(owner),
      owner_(owner),
      person_(person),
      progressDelay_(new QTimer(this)),
      progressPoll_(new QTimer(this)) {
    progressDelay_->setSingleShot(true);
    progressDelay_->setInterval(kProgressDelay);
    connect(progressDelay_, &QTimer::timeout, this, &BackgroundTask::ShowProgress);
    progressPoll_->setInterval(kProgressPollInterval);
    connect(progressPoll_, &QTimer::timeout, this, &BackgroundTask::UpdateProgress);
}

BackgroundTask::~BackgroundTask() = default;

void BackgroundTask::SetControlsToDisable(std::vector<QWidget*> controls) {
    controls_.assign(controls.begin(), controls.end());
}

bool BackgroundTask::AnyRunning() {
    return taskRunning.load();
}

std::optional<bool> BackgroundTask::Run(Work work, ProgressProbe probe) {
    bool idle = false;
    if (!taskRunning.compare_exchange_strong(idle, true))
        return std::nullopt;
    running_ = true;
    probe_ = std::move(probe);
    SetControlsEnabled(false);
    if (owner_)
        owner_->installEventFilter(this);

    QEventLoop loop;
    GuiThreadInterface gui(*this);
    bool result = false;
    std::thread worker([&] {
        try {
            result = work(gui);
        } catch (...) {
            // The core reports failures by its answers; anything thrown is a failure too,
            // and must not end the program from a thread nobody joins yet.
            result = false;
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    progressDelay_->start();
    loop.exec();
    worker.join();

    progressDelay_->stop();
    HideProgress();
    if (owner_)
        owner_->removeEventFilter(this);
    SetControlsEnabled(true);
    probe_ = {};
    running_ = false;
    taskRunning.store(false);
    return result;
}

bool BackgroundTask::eventFilter(QObject* watched, QEvent* event) {
    if (running_ && watched == owner_) {
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            return true;
    }
    return QObject::eventFilter(watched, event);
}

void BackgroundTask::ShowProgress() {
    if (!running_)
        return;
    if (!progress_) {
        auto* window = new TaskProgressWindow(owner_);
        window->setAttribute(Qt::WA_DeleteOnClose);
        if (owner_)
            window->setWindowTitle(owner_->windowTitle());
        progress_ = window;
    }
    UpdateProgress();
    progress_->show();
    progressPoll_->start();
}

void BackgroundTask::UpdateProgress() {
    if (progress_)
        progress_->Show(probe_ ? probe_() : TaskProgress{});
}

void BackgroundTask::HideProgress() {
    progressPoll_->stop();
    if (progress_)
        progress_->close();
    progress_ = nullptr;
}

void BackgroundTask::PauseProgressForInteraction() {
    progressDelay_->stop();
    HideProgress();
}

// Work that goes on after the person answered gets its progress window back after the
// same delay, so a message at the very end does not make it flash up again.
void BackgroundTask::ResumeProgressAfterInteraction() {
    if (running_)
        progressDelay_->start();
}

void BackgroundTask::SetControlsEnabled(bool enabled) {
    if (!enabled) {
        controlsWereEnabled_.clear();
        for (const QPointer<QWidget>& control : controls_) {
            controlsWereEnabled_.push_back(control && control->isEnabled());
            if (control)
                control->setEnabled(false);
        }
        return;
    }
    for (std::size_t i = 0; i < controls_.size() && i < controlsWereEnabled_.size(); ++i) {
        if (controls_[i])
            controls_[i]->setEnabled(controlsWereEnabled_[i]);
    }
}

}  // namespace brindlecot::controls
