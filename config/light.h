// SPDX-License-Identifier: MIT
// A status light: a small filled circle whose fill colour is its only state.
#pragma once

#include <QWidget>
#include <cstdint>

class Light : public QWidget {
  Q_OBJECT

 public:
  explicit Light(uint32_t colour, QWidget* parent = nullptr);

  // The fill colour as a 0x00BBGGRR number.
  uint32_t colour() const { return colour_; }
  void setColour(uint32_t colour);

  QSize sizeHint() const override { return {14, 14}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  uint32_t colour_;
};
