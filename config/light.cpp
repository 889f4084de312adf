// SPDX-License-Identifier: MIT
#include "light.h"

#include <QPainter>

Light::Light(uint32_t colour, QWidget* parent) : QWidget(parent), colour_(colour) {}

void Light::setColour(uint32_t colour) {
  if (colour == colour_) return;
  colour_ = colour;
  update();
}

void Light::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(QColor(colour_ & 0xFF, (colour_ >> 8) & 0xFF, (colour_ >> 16) & 0xFF));
  const int side = std::min(width(), height()) - 2;
  painter.drawEllipse(QRectF((width() - side) / 2.0, (height() - side) / 2.0, side, side));
}
