// SPDX-License-Identifier: MIT
#pragma once

#include <QPushButton>

// A command button that shows its 32 x 32 picture above a caption that wraps
// onto as many lines as the button's width needs. The caption stays the
// button's text, so screen readers announce it.
class PictureButton : public QPushButton {
    Q_OBJECT
  public:
    PictureButton(const QIcon& picture, const QString& caption, QWidget* parent = nullptr);

    static constexpr int PictureSize = 32;

    // The rectangle the caption is drawn in; exposed so a test can check it fits.
    QRect captionRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
};
