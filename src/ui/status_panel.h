// The client area of the main window below the menu: grey, with the panel
// picture from y = 102 (the source list covers its top rows), the caption
// "Format Definition File" over the white descriptor box and the white status
// line box. Texts are drawn from the top-left corners of their boxes.
#pragma once

#include <QRect>
#include <QWidget>
#include <functional>
#include <string>

namespace pravel::ui {

inline const QRect kStatusBox(QPoint(11, 168), QPoint(625, 186));
inline const QRect kDescriptorBox(QPoint(370, 145), QPoint(625, 162));
inline const QRect kSourceListRect(5, 5, 625, 120);
inline constexpr int kPanelHeight = 90;
inline constexpr int kPanelOffsetFromBottom = 95;

class StatusPanel final : public QWidget {
  Q_OBJECT

 public:
  explicit StatusPanel(QWidget* parent);

  void SetStatusText(const std::string& text);
  void SetDescriptorPath(const std::string& path);
  const std::string& StatusText() const { return status_; }
  const std::string& DescriptorPath() const { return descriptor_; }

  // Left clicks no child took, in client coordinates.
  std::function<void(int x, int y)> onClick;
  // Drops on the client: the text/uri-list bytes, whether there were any, and
  // a description of the drop for a refusal.
  std::function<void(const std::string& uriList, bool hasUriList, const std::string& described)> onDrop;
  std::function<bool()> acceptsDrops;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  std::string status_;
  std::string descriptor_;
};

}  // namespace pravel::ui
