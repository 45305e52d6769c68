// A canvas that logs every call with the state it ran under, for tests.
//
// Text is measured by the active font engine (the deterministic headless
// engine unless a backend registered its own), so layout decisions made from
// measurements are the same ones the screen would get. Pixel reads answer
// white. Off-screen canvases made from a recording canvas record into the
// same log, tagged with their own depth. Single-threaded.
#pragma once

#include <memory>
#include <vector>

#include "ui/canvas.h"

namespace kelda::ui {

class KELDA_UI_API RecordingCanvas : public Canvas {
 public:
  explicit RecordingCanvas(int width = 240, int height = 320);
  // Records into a log shared with other canvases.
  RecordingCanvas(std::shared_ptr<std::vector<CanvasRecord>> log, int width, int height);
  ~RecordingCanvas() override;
  std::shared_ptr<std::vector<CanvasRecord>> log() const { return log_; }

  const std::vector<CanvasRecord>& records() const { return *log_; }
  void clear() { log_->clear(); }
  // Records of one kind, in order.
  std::vector<CanvasRecord> of(CanvasOp op) const;
  // Texts drawn by text_out and draw_text, in order.
  std::vector<std::u16string> texts() const;

  std::unique_ptr<Canvas> create_compatible(int width, int height) override;
  const Bitmap* image() override { return &image_; }

 protected:
  void record(CanvasRecord&& r) override;
  void do_line(POINT, POINT) override {}
  void do_rectangle(const RECT&) override {}
  void do_ellipse(const RECT&) override {}
  void do_polygon(std::span<const POINT>) override {}
  void do_fill(const RECT&, const Brush&) override {}
  void do_invert(const RECT&) override {}
  void do_set_pixel(int, int, COLORREF) override {}
  COLORREF do_get_pixel(int, int) override { return 0xFFFFFF; }
  void do_text(int, int, std::u16string_view) override {}
  void do_blit(const RECT&, Canvas&, POINT, DWORD) override {}
  void do_draw_bitmap(POINT, const Bitmap&, const RECT&, DWORD) override {}
  void do_pat_blt(const RECT&, DWORD) override {}

 private:
  std::shared_ptr<std::vector<CanvasRecord>> log_;
  Bitmap image_;
};

}  // namespace kelda::ui
