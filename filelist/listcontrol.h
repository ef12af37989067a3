#pragma once

#include <QPoint>
#include <QString>

// What the batch list needs of a list control. Positions are 1-based and
// dense; 0 stands for "no entry".
class ListControl {
  public:
    virtual ~ListControl() = default;

    virtual int count() const = 0;
    virtual QString text(int position) const = 0;
    virtual void setText(int position, const QString& text) = 0;
    virtual void add(const QString& text) = 0; // at the end
    virtual void remove(int position) = 0;     // later entries move up by one
    virtual int selected() const = 0;          // 0 when nothing is selected
    virtual void select(int position) = 0;
    virtual void ensureVisible(int position) = 0;
    virtual int hitTest(QPoint point) const = 0; // point in the list's own coordinates
};
