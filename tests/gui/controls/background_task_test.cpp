#include "gui/controls/background_task.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/support/scripted_user_interface.h"
#include "tests/support/stall_meter.h"

namespace brindlecot::controls {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedUserInterface;

struct Owner {
    Owner() : dialog(), first(&dialog), second(&dialog) {
        dialog.setWindowTitle(QStringLiteral("owner"));
        second.setEnabled(false);
        dialog.show();
    }
    QDialog dialog;
    QPushButton first;
    QPushButton second;
};

}  // namespace

class BackgroundTaskTest : public QObject {
    Q_OBJECT

private slots:
    void RunsTheWorkOffTheGuiThreadAndAnswersItsResult() {
        Owner owner;
        ScriptedUserInterface person;
        BackgroundTask task(&owner.dialog, person);
        QThread* workThread = nullptr;
        const std::optional<bool> result = task.Run([&](UserInterface&) {
            workThread = QThread::currentThread();
            return true;
        });
        QCOMPARE(result, std::optional<bool>(true));
        QVERIFY(workThread != nullptr);
        QVERIFY(workThread != QThread::currentThread());
        QCOMPARE(task.Run([](UserInterface&) { return false; }), std::optional<bool>(false));
        QVERIFY(!BackgroundTask::AnyRunning());
    }

    void TheEventLoopKeepsRunningWhileTheWorkBlocks() {
        Owner owner;
        ScriptedUserInterface person;
        BackgroundTask task(&owner.dialog, person);
        testing::StallMeter meter(2);
        task.Run([](UserInterface&) {
            std::this_thread::sleep_for(800ms);
            return true;
        });
        qInfo("longest event-loop stall while a call blocked for 800 ms: %lld ms (%d ticks)",
              static_cast<long long>(meter.LongestMs()), meter.Ticks());
        QVERIFY(meter.Ticks() > 100);
        QVERIFY2(meter.LongestMs() < 100, "the GUI thread waited for the work");
    }

    void ControlsAreDisabledMeanwhileAndGetTheirOwnStateBack() {
        Owner owner;
        ScriptedUserInterface person;
        BackgroundTask task(&owner.dialog, person);
        task.SetControlsToDisable({&owner.first, &owner.second});
        bool firstEnabledMeanwhile = true;
        QTimer::singleShot(50, [&] { firstEnabledMeanwhile = owner.first.isEnabled(); });
        task.Run([](UserInterface&) {
            std::this_thread::sleep_for(200ms);
            return true;
        });
        QVERIFY(!firstEnabledMeanwhile);
        QVERIFY(owner.first.isEnabled());
        QVERIFY(!owner.second.isEnabled());
    }

    void NeverTwoTasksAtOnceEvenFromTwoOwners() {
        Owner one;
        Owner other;
        ScriptedUserInterface person;
        BackgroundTask first(&one.dialog, person);
        BackgroundTask second(&other.dialog, person);
        std::atomic<int> running{0};
        int mostAtOnce = 0;
        std::optional<bool> secondResult = true;
        auto work = [&](UserInterface&) {
            mostAtOnce = std::max(mostAtOnce, ++running);
            std::this_thread::sleep_for(200ms);
            --running;
            return true;
        };
        QTimer::singleShot(50, [&] {
            QVERIFY(BackgroundTask::AnyRunning());
            secondResult = second.Run(work);
        });
        QCOMPARE(first.Run(work), std::optional<bool>(true));
        QCOMPARE(secondResult, std::nullopt);
        QCOMPARE(mostAtOnce, 1);
        // Once the first has ended, the next one runs.
        QCOMPARE(second.Run(work), std::optional<bool>(true));
    }

    void WhatTheWorkAsksIsAnsweredOnTheGuiThreadInOrder() {
        Owner owner;
        ScriptedUserInterface person;
        person.answers = {false};
        person.filesToSave = {"/tmp/chosen.txt"};
        std::vector<bool> onGuiThread;
        person.onEvent = [&](const ScriptedUserInterface::Event&) {
            onGuiThread.push_back(QThread::currentThread() == qApp->thread());
        };
        BackgroundTask task(&owner.dialog, person);
        bool answer = true;
        std::optional<std::string> chosen;
        task.Run([&](UserInterface& ui) {
            ui.ShowMessage("caption", "first");
            answer = ui.AskYesNo("caption", "question");
            chosen = ui.ChooseFileToSave("filter", FilePurpose::Export);
            ui.ShowMessage("caption", "last");
            return true;
        });
        QVERIFY(!answer);
        QCOMPARE(chosen, std::optional<std::string>("/tmp/chosen.txt"));
        QCOMPARE(person.Texts(), (std::vector<std::string>{"first", "last"}));
        QCOMPARE(person.events.size(), std::size_t{4});
        QCOMPARE(person.events[1].text, std::string("question"));
        QCOMPARE(onGuiThread, (std::vector<bool>(4, true)));
    }

    void ProgressShowsOnlyAfterTheDelayAndFollowsTheProbe() {
        Owner owner;
        ScriptedUserInterface person;
        BackgroundTask task(&owner.dialog, person);
        std::atomic<std::uint64_t> done{0};
        auto probe = [&] {
            return TaskProgress{done.load(), 1000};
        };

        bool shownEarly = false;
        QTimer early;
        QObject::connect(&early, &QTimer::timeout,
                         [&] { shownEarly = shownEarly || task.ProgressWindow() != nullptr; });
        early.start(10);
        task.Run(
            [](UserInterface&) {
                std::this_thread::sleep_for(250ms);
                return true;
            },
            probe);
        early.stop();
        QVERIFY2(!shownEarly, "a short task flashed a progress window");

        int shownValue = -1;
        QString shownText;
        QTimer::singleShot(BackgroundTask::kProgressDelay + 400ms, [&] {
            QDialog* window = task.ProgressWindow();
            QVERIFY(window != nullptr);
            QVERIFY(window->isVisible());
            shownValue = window->findChild<QProgressBar*>()->value();
            shownText = window->findChild<QLabel*>()->text();
        });
        task.Run(
            [&](UserInterface&) {
                done = 250;
                std::this_thread::sleep_for(BackgroundTask::kProgressDelay + 700ms);
                return true;
            },
            probe);
        QCOMPARE(shownValue, 250);
        QVERIFY2(shownText.contains(QStringLiteral("/")), qPrintable(shownText));
        QVERIFY(task.ProgressWindow() == nullptr);
    }

    void AMessageHidesTheProgressWindow() {
        Owner owner;
        ScriptedUserInterface person;
        BackgroundTask task(&owner.dialog, person);
        bool progressUpDuringMessage = true;
        person.onEvent = [&](const ScriptedUserInterface::Event&) {
            progressUpDuringMessage = task.ProgressWindow() != nullptr;
        };
        task.Run([](UserInterface& ui) {
            std::this_thread::sleep_for(BackgroundTask::kProgressDelay + 300ms);
            ui.ShowMessage("caption", "done");
            return true;
        });
        QVERIFY(!progressUpDuringMessage);
    }

    void TheOwnerCannotBeClosedMeanwhile() {
        Owner owner;
        ScriptedUserInterface person;
        BackgroundTask task(&owner.dialog, person);
        bool visibleAfterAttempts = false;
        QTimer::singleShot(50, [&] {
            QTest::keyClick(&owner.dialog, Qt::Key_Escape);
            owner.dialog.close();
            visibleAfterAttempts = owner.dialog.isVisible();
        });
        task.Run([](UserInterface&) {
            std::this_thread::sleep_for(200ms);
            return true;
        });
        QVERIFY(visibleAfterAttempts);
        // Afterwards the owner closes as usual.
        QTest::keyClick(&owner.dialog, Qt::Key_Escape);
        QVERIFY(!owner.dialog.isVisible());
    }
};

}  // namespace brindlecot::controls

QTEST_MAIN(brindlecot::controls::BackgroundTaskTest)
#include "background_task_test.moc"
