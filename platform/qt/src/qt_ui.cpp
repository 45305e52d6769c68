// The Qt backend: the screen window, the loop's wait over Qt's event loop,
// stylus and key input, and the session of a program with a screen.
#include "ui_qt/qt_ui.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string_view>

#include "qt_canvas.h"
#include "ui/loop.h"
#include "ui/types.h"

namespace kelda::ui {
namespace qt {
namespace {

// Wake-ups from any thread: a counter file descriptor that Qt's event loop
// watches, so waking shares no memory with the user-interface thread.
class Waker {
 public:
  Waker() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (fd_ < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
      pending_.store(false);
      uint64_t v = 0;
      while (::read(fd_, &v, sizeof v) == static_cast<ssize_t>(sizeof v)) {
      }
    });
  }
  ~Waker() {
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
  }
  void wake() {
    if (fd_ < 0 || pending_.exchange(true)) return;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
  }

 private:
  int fd_;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::atomic<bool> pending_{false};
};

UINT vk_of(int key) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<UINT>('A' + (key - Qt::Key_A));
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<UINT>('0' + (key - Qt::Key_0));
  switch (key) {
    case Qt::Key_Backspace: return vk::back;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return vk::tab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return vk::enter;
    case Qt::Key_Shift: return vk::shift;
    case Qt::Key_Control: return vk::control;
    case Qt::Key_Alt: return vk::menu;
    case Qt::Key_Escape: return vk::escape;
    case Qt::Key_Space: return vk::space;
    case Qt::Key_PageUp: return vk::prior;
    case Qt::Key_PageDown: return vk::next;
    case Qt::Key_End: return vk::end;
    case Qt::Key_Home: return vk::home;
    case Qt::Key_Left: return vk::left;
    case Qt::Key_Up: return vk::up;
    case Qt::Key_Right: return vk::right;
    case Qt::Key_Down: return vk::down;
    case Qt::Key_Insert: return vk::insert;
    case Qt::Key_Delete: return vk::del;
    case Qt::Key_F1: return vk::f1;
    case Qt::Key_F4: return vk::f1 + 3;
    default: return 0xE5;  // a key that only types text
  }
}

class ScreenWidget final : public QWidget {
 public:
  ScreenWidget(QImage* framebuffer, int zoom) : fb_(framebuffer), zoom_(zoom) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    fit();
  }
  void fit() { setFixedSize(fb_->width() * zoom_, fb_->height() * zoom_); }

 protected:
  void paintEvent(QPaintEvent* e) override {
    QPainter p(this);
    if (zoom_ == 1) {
      p.drawImage(e->rect().topLeft(), *fb_, e->rect());
    } else {
      p.drawImage(rect(), *fb_);
    }
  }
  void mousePressEvent(QMouseEvent* e) override { mouse(MouseInput::Kind::down, e); }
  void mouseReleaseEvent(QMouseEvent* e) override { mouse(MouseInput::Kind::up, e); }
  void mouseMoveEvent(QMouseEvent* e) override { mouse(MouseInput::Kind::move, e); }
  void mouseDoubleClickEvent(QMouseEvent* e) override { mouse(MouseInput::Kind::down, e); }
  void wheelEvent(QWheelEvent* e) override {
    // Qt counts in eighths of a degree, 120 a notch: the platform's unit.
    const int delta = e->angleDelta().y();
    if (delta == 0) return;
    MouseInput in;
    in.kind = MouseInput::Kind::wheel;
    QPointF p = e->position();
    in.screen = POINT{static_cast<int32_t>(p.x()) / zoom_, static_cast<int32_t>(p.y()) / zoom_};
    in.keys = ((e->modifiers() & Qt::ShiftModifier) ? mk::shift : 0) | ((e->modifiers() & Qt::ControlModifier) ? mk::control : 0);
    in.delta = delta;
    in.time_ms = now_ms();
    queue_mouse_input(in);
    e->accept();
  }
  void keyPressEvent(QKeyEvent* e) override { key(true, e); }
  void keyReleaseEvent(QKeyEvent* e) override { key(false, e); }
  bool focusNextPrevChild(bool) override { return false; }  // Tab belongs to the dialogs

 private:
  void mouse(MouseInput::Kind kind, QMouseEvent* e) {
    if (e->button() != Qt::LeftButton && kind != MouseInput::Kind::move) return;
    MouseInput in;
    in.kind = kind;
    QPointF p = e->position();
    in.screen = POINT{static_cast<int32_t>(p.x()) / zoom_, static_cast<int32_t>(p.y()) / zoom_};
    in.keys = ((e->modifiers() & Qt::ShiftModifier) ? mk::shift : 0) | ((e->modifiers() & Qt::ControlModifier) ? mk::control : 0);
    in.time_ms = now_ms();
    queue_mouse_input(in);
  }
  void key(bool down, QKeyEvent* e) {
    KeyInput in;
    in.down = down;
    in.vk = vk_of(e->key());
    in.shift = e->modifiers() & Qt::ShiftModifier;
    in.control = e->modifiers() & Qt::ControlModifier;
    in.alt = e->modifiers() & Qt::AltModifier;
    in.repeat = e->isAutoRepeat();
    in.time_ms = now_ms();
    QString t = e->text();
    if (down && t.size() == 1 && !in.control) in.ch = static_cast<char16_t>(t.at(0).unicode());
    if (in.vk == vk::enter) in.ch = down ? u'\r' : 0;
    queue_key_input(in);
  }

  QImage* fb_;
  int zoom_;
};

class QtBackend final : public Backend {
 public:
  QtBackend(const QtUiOptions& o) : zoom_(std::max(1, o.zoom)) {
    clock_.start();
    fb_ = QImage(o.screen.width, o.screen.height, QImage::Format_RGB32);
    fb_.fill(Qt::white);
    host_ = std::make_shared<PainterHost>(&fb_);
    widget_ = std::make_unique<ScreenWidget>(&fb_, zoom_);
    widget_->setWindowTitle(QString::fromStdString(o.title));
    if (o.show_window) widget_->show();
    timer_.setSingleShot(true);
  }
  ~QtBackend() override {
    widget_.reset();
  }

  void wake() override { waker_.wake(); }
  void wait(uint64_t deadline_ms) override {
    if (deadline_ms != UINT64_MAX) {
      uint64_t now = now_ms();
      timer_.start(static_cast<int>(std::min<uint64_t>(deadline_ms > now ? deadline_ms - now : 0, 0x7FFFFFFF)));
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    timer_.stop();
  }
  void process_events() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }
  uint64_t now_ms() override { return static_cast<uint64_t>(clock_.elapsed()) + 1000000; }
  FontEngine& fonts() override { return fonts_; }
  std::unique_ptr<Canvas> screen_canvas() override {
    return std::make_unique<QtCanvas>(host_, [this](const RECT& r) { present(r); });
  }
  void present(const RECT& r) override {
    widget_->update(QRect(r.left * zoom_, r.top * zoom_, (r.right - r.left) * zoom_, (r.bottom - r.top) * zoom_));
  }
  void screen_resized(int width, int height) override {
    if (width == fb_.width() && height == fb_.height()) return;
    QImage next(width, height, QImage::Format_RGB32);
    next.fill(Qt::white);
    {
      QPainter p(&next);
      p.drawImage(0, 0, fb_);
    }
    fb_ = std::move(next);
    widget_->fit();
  }
  std::unique_ptr<Canvas> create_image_canvas(int width, int height) override {
    return std::make_unique<QtCanvas>(width, height);
  }
  uint32_t pump_slice_ms() override { return 10; }

  const QImage& framebuffer() const { return fb_; }

 private:
  int zoom_;
  QElapsedTimer clock_;
  QImage fb_;
  std::shared_ptr<PainterHost> host_;
  std::unique_ptr<ScreenWidget> widget_;
  Waker waker_;
  QTimer timer_;
  QtFonts fonts_;
};

int g_argc = 1;
char g_arg0[] = "kelda";
char* g_argv[] = {g_arg0, nullptr};

}  // namespace
}  // namespace qt

struct QtUi::Impl {
  std::unique_ptr<QApplication> app;
  qt::QtBackend* backend = nullptr;
  std::unique_ptr<Session> session;
};

QtUi::QtUi(QtUiOptions options) : impl_(std::make_unique<Impl>()) {
  if (QCoreApplication::instance() == nullptr) impl_->app = std::make_unique<QApplication>(qt::g_argc, qt::g_argv);
  auto backend = std::make_unique<qt::QtBackend>(options);
  impl_->backend = backend.get();
  impl_->session = std::make_unique<Session>(std::move(backend), options.screen);
  process_pending();
}

QtUi::~QtUi() {
  impl_->session.reset();
  impl_->app.reset();
}

Bitmap QtUi::screenshot() const {
  process_pending();
  QImage img = impl_->backend->framebuffer().convertToFormat(QImage::Format_ARGB32);
  Bitmap b(img.width(), img.height());
  for (int y = 0; y < img.height(); ++y)
    std::memcpy(b.data() + static_cast<size_t>(y) * img.width(), img.constScanLine(y), static_cast<size_t>(img.width()) * 4);
  return b;
}

bool QtUi::save_screenshot(const std::string& png_path) const {
  process_pending();
  QSaveFile file(QString::fromStdString(png_path));
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (!impl_->backend->framebuffer().save(&file, "PNG")) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

QtUiOptions qt_ui_options_from_args(int argc, char** argv) {
  QtUiOptions o;
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
    std::string_view a = argv[i];
    if (a.rfind("--screen=", 0) == 0) {
      ScreenConfig s;
      if (parse_screen_size(a.substr(9), s)) o.screen = s;
    } else if (a.rfind("--zoom=", 0) == 0 && a.size() == 8 && a[7] >= '1' && a[7] <= '4') {
      o.zoom = a[7] - '0';
    }
  }
  return o;
}

}  // namespace kelda::ui
