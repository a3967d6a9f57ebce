#pragma once
// The main window under test: a temporary drive map (C: in its own folder,
// the program folder C:\Korvelt), a French locale, a scripted chooser, and a
// DialogRunner handler that records every message box and answers it from a
// script, runs the progress dialog's start button and accepts the restore
// dialog (each can be replaced per test).

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "app/TMainKorvelt2002.h"
#include "dialogs/TFormProgress.h"
#include "dialogs/TFormRestaure.h"
#include "dialogs/TFormWait.h"
#include "gui/Chooser.h"
#include "gui/DialogRunner.h"
#include "tests/support/FaultPlatform.h"

namespace kv::test {

class ScriptedChooser : public Chooser {
  public:
    // Answers of the open and save dialogs and of the folder picker, in order;
    // an empty text cancels, as does an empty queue.
    std::deque<QString> files;
    std::deque<QString> folders;
    std::vector<FileDialogRequest> requests;  // every file dialog asked for
    std::vector<QString> folderTitles;

    std::optional<QString> openFile(QWidget*, const FileDialogRequest& request) override {
        return next(request);
    }
    std::optional<QString> saveFile(QWidget*, const FileDialogRequest& request) override {
        return next(request);
    }
    std::optional<QString> folder(QWidget*, const QString& title, const QString&) override {
        folderTitles.push_back(title);
        return take(folders);
    }

  private:
    std::optional<QString> next(const FileDialogRequest& request) {
        requests.push_back(request);
        return take(files);
    }
    static std::optional<QString> take(std::deque<QString>& queue) {
        if (queue.empty()) return std::nullopt;
        const QString answer = queue.front();
        queue.pop_front();
        if (answer.isEmpty()) return std::nullopt;
        return answer;
    }
};

struct Box {
    QString title;
    QString text;
    int defaultButton = QMessageBox::NoButton;  // the button Enter presses
};

// An answer of the answers queue: the user presses Enter in the box.
constexpr int PressEnter = -1;

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        Chooser::install(&chooser);
        DialogRunner::setHandler([this](QDialog& dialog) { return runDialog(dialog); });
    }

    void TearDown() override {
        window.reset();
        DialogRunner::setHandler({});
        Chooser::install(nullptr);
        QLocale::setDefault(QLocale::c());
    }

    TMainKorvelt2002& makeWindow() {
        window = std::make_unique<TMainKorvelt2002>();
        TMainKorvelt2002::Forms forms;
        forms.restaure = new TFormRestaure(window->ui(), window.get());
        forms.progress = new TFormProgress(window->ui(), window.get());
        forms.wait = new TFormWait(window.get());
        window->setForms(forms);
        window->environment().now = [] { return DateTime{2026, 12, 8, 10, 30, 0}; };
        return *window;
    }

    int runDialog(QDialog& dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
            boxes.push_back({box->windowTitle(), box->text(),
                             box->defaultButton() ? box->standardButton(box->defaultButton())
                                                  : int(QMessageBox::NoButton)});
            if (answers.empty())
                return box->standardButtons() & QMessageBox::Yes ? QMessageBox::Yes
                                                                 : QMessageBox::Ok;
            const auto answer = answers.front();
            answers.pop_front();
            if (answer == PressEnter) {
                box->show();
                QTest::keyClick(box, Qt::Key_Return);
                return box->result();
            }
            return answer;
        }
        if (auto* progress = qobject_cast<TFormProgress*>(&dialog)) {
            if (onProgress) return onProgress(*progress);
            progress->show();
            progress->ButtonDemarreClick();
            progress->hide();
            return progress->result();
        }
        if (auto* restaure = qobject_cast<TFormRestaure*>(&dialog)) {
            if (onRestaure) return onRestaure(*restaure);
            return QDialog::Accepted;
        }
        otherDialogs.push_back(dialog.metaObject()->className());
        return QDialog::Rejected;
    }

    // The texts of the recorded boxes, "\r" shown as "\n".
    std::vector<QString> texts() const {
        std::vector<QString> all;
        for (const Box& b : boxes) all.push_back(b.text);
        return all;
    }

    // Writes a file of that many bytes.
    void writeSized(const std::string& path, size_t bytes) {
        drives.writeFile(path, std::string(bytes, 'k'));
    }

    // Opens a new archive through the window's command and archives the
    // given files into it.
    void archiveThroughWindow(const std::string& archive, const QStringList& files) {
        chooser.files.push_back(QString::fromStdString(archive));
        trigger("New_Arch");
        drop(files);
        trigger("Archiver");
    }

    QAction* action(const char* name) const {
        return window->findChild<QAction*>(QString::fromLatin1(name));
    }

    // Shows the window as the program's start does: its first showing (the
    // command line, the automatic mode) runs at once.
    void showWindow() const {
        window->show();
        QApplication::processEvents();
    }

    // Runs a command as the user does, through its action (a menu item, a
    // shortcut): the command guard and the busy check come with it, and an
    // action that is disabled does nothing.
    void trigger(const char* name) const {
        QAction* command = action(name);
        ASSERT_TRUE(command) << name;
        command->trigger();
    }

    // Opens the menu of that object name as a click on its title does (the
    // states of its items are computed then), and closes it again.
    void openMenu(const char* name) const {
        auto* menu = window->findChild<QMenu*>(QString::fromLatin1(name));
        ASSERT_TRUE(menu) << name;
        menu->popup(QPoint(0, 0));
        menu->hide();
    }

    // Drops the files and folders (drive paths) on the window as a file
    // manager does, and lets the window take them in.
    void drop(const QStringList& paths) const {
        sendDrop(paths);
        QApplication::processEvents();
    }

    // The drop alone: the window answers it and queues the taking in.
    void sendDrop(const QStringList& paths) const {
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(
                QString::fromStdString(drives.hostPath(path.toStdString())));
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(50, 100), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        QDropEvent event(QPointF(50, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &event);
    }

    TempDrives drives;
    ScriptedChooser chooser;
    std::unique_ptr<TMainKorvelt2002> window;
    std::vector<Box> boxes;
    std::deque<int> answers;  // QMessageBox::StandardButton per box, in order
    std::function<int(TFormProgress&)> onProgress;
    std::function<int(TFormRestaure&)> onRestaure;
    std::vector<QString> otherDialogs;
};

}  // namespace kv::test
