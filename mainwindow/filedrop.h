#pragma once

#include <QObject>
#include <QStringList>

class QAbstractButton;
class QWidget;

// Local files dragged onto the widgets it watches, taken for loading. A drop is taken only
// while the Load button is enabled, so it is refused exactly when Load is, and always as a
// copy, so that a file manager never removes what it dragged. Any other drag, such as text
// onto the entry field, is left to the widget.
class FileDrop : public QObject
{
    Q_OBJECT

public:
    FileDrop(const QAbstractButton &load, QObject *parent);

    // Takes files dropped onto widget, before its own handling of drops.
    void watch(QWidget &widget);

signals:
    // The local files of a drop, in the order dragged.
    void dropped(const QStringList &paths);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    const QAbstractButton &m_load;
};
