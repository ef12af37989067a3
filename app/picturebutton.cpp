// SPDX-License-Identifier: MIT
#include "app/picturebutton.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace {
constexpr int Margin = 4;
}

PictureButton::PictureButton(const QIcon& picture, const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {
    setIcon(picture);
    setIconSize(QSize(PictureSize, PictureSize));
    setAccessibleName(caption);
}

QRect PictureButton::captionRect() const {
    return rect().adjusted(Margin, Margin + PictureSize + Margin, -Margin, -Margin);
}

void PictureButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    // The style draws only the frame; picture and caption are laid out here.
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    const bool pressed = isDown() || isChecked();
    const QPoint shift =
        pressed ? QPoint(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                         style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this))
                : QPoint();
    const QRect pictureRect(QPoint((width() - PictureSize) / 2, Margin) + shift,
                            QSize(PictureSize, PictureSize));
    icon().paint(&painter, pictureRect, Qt::AlignCenter,
                 isEnabled() ? QIcon::Normal : QIcon::Disabled);

    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(captionRect().translated(shift),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text());
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3, -3);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}
