// Scripting the modal dialogs a window runs with an exec() of its own (a file or print dialog, the preview), which
// the one modal entry point of the program does not see.
#pragma once

#include <QApplication>
#include <QTimer>

#include <functional>

class QFileDialog;

// Runs `then` on the modal window of class T once it shows.
template <class T> void whenModalShows(std::function<void(T*)> then)
{
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, then] {
        if (auto* d = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            then(d);
        }
    });
    poll->start();
}

// The file dialog selects its suggested name again once its folder listing arrives from its thread, overwriting a
// name typed before that: keys typed into the dialog wait for the listing first.
void waitForFolderListing(QFileDialog* dialog);
