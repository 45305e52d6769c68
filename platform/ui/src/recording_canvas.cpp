// The recording canvas and the headless font engine.
#include "ui/recording_canvas.h"

#include <cmath>

#include "core.h"
#include "ui/backend.h"

namespace kelda::ui {

RecordingCanvas::RecordingCanvas(int width, int height)
    : RecordingCanvas(std::make_shared<std::vector<CanvasRecord>>(), width, height) {}

RecordingCanvas::RecordingCanvas(std::shared_ptr<std::vector<CanvasRecord>> log, int width, int height)
    : log_(std::move(log)), image_(width, height, 0xFFFFFFFFu) {
  recording_ = true;
  set_device_bounds(RECT{0, 0, width, height});
}

RecordingCanvas::~RecordingCanvas() = default;

void RecordingCanvas::record(CanvasRecord&& r) { log_->push_back(std::move(r)); }

std::vector<CanvasRecord> RecordingCanvas::of(CanvasOp op) const {
  std::vector<CanvasRecord> out;
  for (const auto& r : *log_)
    if (r.op == op) out.push_back(r);
  return out;
}

std::vector<std::u16string> RecordingCanvas::texts() const {
  std::vector<std::u16string> out;
  for (const auto& r : *log_)
    if (r.op == CanvasOp::text_out || r.op == CanvasOp::draw_text) out.push_back(r.text);
  return out;
}

std::unique_ptr<Canvas> RecordingCanvas::create_compatible(int width, int height) {
  return std::make_unique<RecordingCanvas>(log_, width, height);
}

// --- Font engines ---------------------------------------------------------------------------
FontEngine::~FontEngine() = default;

namespace {
class HeadlessFonts final : public FontEngine {
 public:
  TextMetrics metrics(const Font& font) override {
    int px = font.pixel_size();
    TextMetrics tm;
    tm.ascent = static_cast<int>(std::ceil(px * 0.8));
    tm.descent = static_cast<int>(std::ceil(px * 0.2));
    tm.height = tm.ascent + tm.descent;
    tm.internal_leading = tm.height - px;
    tm.ave_char_width = char_width(font);
    tm.max_char_width = tm.ave_char_width;
    tm.weight = font.log_font().weight;
    return tm;
  }
  int text_width(const Font& font, std::u16string_view text) override {
    return char_width(font) * static_cast<int>(text.size());
  }
  void char_extents(const Font& font, std::u16string_view text, std::vector<int>& out) override {
    out.resize(text.size());
    int w = char_width(font);
    for (size_t i = 0; i < text.size(); ++i) out[i] = w * static_cast<int>(i + 1);
  }

 private:
  static int char_width(const Font& font) {
    return static_cast<int>(std::ceil(font.pixel_size() * 0.55)) + (font.bold() ? 1 : 0);
  }
};
}  // namespace

FontEngine& headless_font_engine() {
  static HeadlessFonts engine;
  return engine;
}

FontEngine& font_engine() {
  if (detail::g_core != nullptr && detail::is_ui_thread()) return detail::g_core->backend->fonts();
  return headless_font_engine();
}

}  // namespace kelda::ui
