#include "filedrop.h"

#include <QAbstractButton>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace
{
QStringList localFiles(const QMimeData &data)
{
    QStringList paths;
    for (const QUrl &url : data.urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}
} // namespace

FileDrop::FileDrop(const QAbstractButton &load, QObject *parent) : QObject(parent), m_load(load) {}

void FileDrop::watch(QWidget &widget)
{
    widget.setAcceptDrops(true);
    widget.installEventFilter(this);
}

bool FileDrop::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove &&
        event->type() != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto *drop = static_cast<QDropEvent *>(event);
    const QStringList paths = localFiles(*drop->mimeData());
    if (paths.isEmpty())
        return QObject::eventFilter(watched, event);
    if (!m_load.isEnabled() || !(drop->possibleActions() & Qt::CopyAction)) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (event->type() == QEvent::Drop)
        emit dropped(paths);
    return true;
}
