#include "ui/status_panel.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

namespace pravel::ui {
namespace {

const QColor kClientGrey(192, 192, 192);
const QColor kWhite(255, 255, 255);
const QColor kShadow(128, 128, 128);
const QColor kLight(255, 255, 255);
constexpr const char* kDescriptorCaption = "Format Definition File";
constexpr const char* kUriListFormat = "text/uri-list";

// The panel's lower part, below the source list: one raised plate.
QRect PanelPlate(int clientHeight) {
  const int top = clientHeight - kPanelOffsetFromBottom;
  const int belowList = kSourceListRect.bottom() + 1;
  return QRect(QPoint(2, std::max(top, belowList) + 2), QPoint(637, top + kPanelHeight - 1));
}

void DrawRaised(QPainter& painter, const QRect& rect) {
  painter.setPen(kLight);
  painter.drawLine(rect.topLeft(), rect.topRight());
  painter.drawLine(rect.topLeft(), rect.bottomLeft());
  painter.setPen(kShadow);
  painter.drawLine(rect.bottomLeft(), rect.bottomRight());
  painter.drawLine(rect.topRight(), rect.bottomRight());
}

void DrawBox(QPainter& painter, const QRect& box, const QString& text) {
  painter.fillRect(box, kWhite);
  painter.setPen(Qt::black);
  painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

std::string Describe(const QMimeData& data) {
  if (data.hasText()) return data.text().toStdString();
  return data.formats().join(", ").toStdString();
}

}  // namespace

StatusPanel::StatusPanel(QWidget* parent) : QWidget(parent) {
  setAcceptDrops(true);
  QFont small = font();
  small.setPixelSize(11);
  setFont(small);
}

void StatusPanel::SetStatusText(const std::string& text) {
  status_ = text;
  update(kStatusBox);
}

void StatusPanel::SetDescriptorPath(const std::string& path) {
  descriptor_ = path;
  update(kDescriptorBox);
}

void StatusPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kClientGrey);
  DrawRaised(painter, PanelPlate(height()));
  painter.setPen(Qt::black);
  const QRect caption(QPoint(kDescriptorBox.left(), kSourceListRect.bottom() + 3),
                      QPoint(kDescriptorBox.right(), kDescriptorBox.top() - 1));
  painter.drawText(caption, Qt::AlignLeft | Qt::AlignBottom, kDescriptorCaption);
  DrawBox(painter, kDescriptorBox, QFile::decodeName(QByteArray::fromStdString(descriptor_)));
  DrawBox(painter, kStatusBox, QString::fromUtf8(status_.data(), static_cast<qsizetype>(status_.size())));
}

void StatusPanel::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !onClick) return;
  const QPoint at = event->position().toPoint();
  onClick(at.x(), at.y());
}

void StatusPanel::dragEnterEvent(QDragEnterEvent* event) {
  if (acceptsDrops && acceptsDrops()) event->acceptProposedAction();
}

void StatusPanel::dragMoveEvent(QDragMoveEvent* event) {
  if (acceptsDrops && acceptsDrops()) event->acceptProposedAction();
}

void StatusPanel::dropEvent(QDropEvent* event) {
  const QMimeData* data = event->mimeData();
  if (!data || !onDrop) return;
  const bool hasUriList = data->hasFormat(kUriListFormat);
  const QByteArray bytes = hasUriList ? data->data(kUriListFormat) : QByteArray();
  event->acceptProposedAction();
  onDrop(bytes.toStdString(), hasUriList, Describe(*data));
}

}  // namespace pravel::ui
