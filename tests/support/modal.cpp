#include "support/modal.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QSignalSpy>

void waitForFolderListing(QFileDialog* dialog)
{
    if (auto* model = dialog->findChild<QFileSystemModel*>()) {
        QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
        loaded.wait(3000);
    }
}
