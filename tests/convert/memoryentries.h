#pragma once

#include "convert/conversionrun.h"

// A batch without a window. Positions the list does not hold are counted,
// since the run must never ask for one.
class MemoryEntries final : public BatchEntries {
  public:
    QStringList texts;
    mutable int outOfRange = 0;

    int count() const override { return int(texts.size()); }
    QString textAt(int position) const override {
        if (position < 1 || position > texts.size()) {
            ++outOfRange;
            return {};
        }
        return texts.at(position - 1);
    }
};
