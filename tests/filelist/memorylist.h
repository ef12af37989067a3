#pragma once

#include "filelist/listcontrol.h"

#include <QList>
#include <QStringList>

// A list control without a window: one row per 10 pixels, nothing scrolls,
// and every EnsureVisible call is recorded.
class MemoryList final : public ListControl {
  public:
    static constexpr int RowHeight = 10;

    QStringList texts;
    int selection = 0;
    QList<int> ensuredVisible;

    int count() const override { return int(texts.size()); }
    QString text(int position) const override { return texts.value(position - 1); }
    void setText(int position, const QString& text) override { texts[position - 1] = text; }
    void add(const QString& text) override { texts.append(text); }
    void remove(int position) override {
        texts.removeAt(position - 1);
        if (selection == position)
            selection = 0;
        else if (selection > position)
            --selection;
    }
    int selected() const override { return selection; }
    void select(int position) override { selection = position; }
    void ensureVisible(int position) override { ensuredVisible.append(position); }
    int hitTest(QPoint point) const override {
        const int row = point.y() / RowHeight + 1;
        return point.y() >= 0 && row <= count() ? row : 0;
    }

    static QPoint pointOver(int position) { return QPoint(5, (position - 1) * RowHeight + 5); }
};
