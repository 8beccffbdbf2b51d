#include "app/x11_field_painter.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <bit>
#include <cstdlib>

#include "app/field_pixel.h"

namespace kavarin {
namespace {

// The window's depth when its pixels are 32-bit words 0x00RRGGBB in this machine's byte
// order, as the field's copy in the screen's format is; 0 otherwise.
uint8_t PlainTrueColorDepth(xcb_connection_t* c, xcb_window_t window) {
  const xcb_setup_t* setup = xcb_get_setup(c);
  if ((setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) !=
      (std::endian::native == std::endian::little))
    return 0;
  xcb_get_window_attributes_reply_t* attributes =
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
  xcb_get_geometry_reply_t* geometry =
      xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
  uint8_t depth = 0;
  if (attributes && geometry) {
    bool plainVisual = false;
    for (auto s = xcb_setup_roots_iterator(setup); s.rem; xcb_screen_next(&s))
      for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem; xcb_depth_next(&d))
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
          if (v.data->visual_id == attributes->visual)
            plainVisual = d.data->depth == geometry->depth &&
                          v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
                          v.data->red_mask == 0xFF0000 && v.data->green_mask == 0xFF00 &&
                          v.data->blue_mask == 0xFF;
    bool thirtyTwoBits = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
      if (f.data->depth == geometry->depth)
        thirtyTwoBits = f.data->bits_per_pixel == 32 && f.data->scanline_pad == 32;
    if (plainVisual && thirtyTwoBits && (geometry->depth == 24 || geometry->depth == 32))
      depth = geometry->depth;
  }
  std::free(attributes);
  std::free(geometry);
  return depth;
}

// One row of field pixels as device pixels, each `Zoom` wide; the usual zooms get loops the
// compiler can unroll.
template <int Zoom>
uint32_t* Widen(const uint8_t* from, int count, uint32_t* to) {
  for (int i = 0; i < count; ++i) to = std::fill_n(to, Zoom, RgbOfLevel(from[i]));
  return to;
}

uint32_t* Widen(const uint8_t* from, int count, int zoom, uint32_t* to) {
  switch (zoom) {
    case 1:
      return Widen<1>(from, count, to);
    case 2:
      return Widen<2>(from, count, to);
    case 3:
      return Widen<3>(from, count, to);
    case 4:
      return Widen<4>(from, count, to);
    default:
      for (int i = 0; i < count; ++i) to = std::fill_n(to, zoom, RgbOfLevel(from[i]));
      return to;
  }
}

}  // namespace

std::unique_ptr<X11FieldPainter> X11FieldPainter::Create(QWidget& view) {
  auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (x11 == nullptr || x11->connection() == nullptr || view.devicePixelRatioF() != 1.0)
    return nullptr;
  view.setAttribute(Qt::WA_NativeWindow);
  const uint8_t depth = PlainTrueColorDepth(x11->connection(), view.winId());
  if (depth == 0) return nullptr;
  const xcb_query_extension_reply_t* shm = xcb_get_extension_data(x11->connection(), &xcb_shm_id);
  return std::unique_ptr<X11FieldPainter>(
      new X11FieldPainter(view, x11->connection(), depth, shm && shm->present));
}

X11FieldPainter::X11FieldPainter(QWidget& view, xcb_connection_t* connection, uint8_t depth,
                                 bool shared)
    : view_(view),
      connection_(connection),
      gc_(xcb_generate_id(connection)),
      depth_(depth),
      shared_(shared) {
  xcb_create_gc(connection_, gc_, view_.winId(), 0, nullptr);
  // The request's own 24 bytes aside.
  mostBytes_ = static_cast<size_t>(xcb_get_maximum_request_length(connection_)) * 4 - 24;
}

X11FieldPainter::~X11FieldPainter() {
  ReleaseShared();
  xcb_free_gc(connection_, gc_);
  xcb_flush(connection_);
}

uint32_t* X11FieldPainter::SharedPicture(int zoom) {
  if (!shared_) return nullptr;
  if (zoom == sharedZoom_) return picture_;
  ReleaseShared();
  const size_t bytes = static_cast<size_t>(FieldWidth) * FieldHeight * zoom * zoom * 4;
  const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (id < 0) {
    shared_ = false;
    return nullptr;
  }
  void* at = shmat(id, nullptr, 0);
  const uint32_t segment = xcb_generate_id(connection_);
  // A remote server cannot attach it: then the pixels go in the requests.
  xcb_generic_error_t* error =
      at == reinterpret_cast<void*>(-1)
          ? nullptr
          : xcb_request_check(connection_, xcb_shm_attach_checked(connection_, segment, id, 0));
  // Gone once both sides have let go of it.
  shmctl(id, IPC_RMID, nullptr);
  if (at == reinterpret_cast<void*>(-1) || error) {
    std::free(error);
    if (at != reinterpret_cast<void*>(-1)) shmdt(at);
    shared_ = false;
    return nullptr;
  }
  segment_ = segment;
  picture_ = static_cast<uint32_t*>(at);
  sharedZoom_ = zoom;
  return picture_;
}

void X11FieldPainter::ReleaseShared() {
  if (picture_ == nullptr) return;
  // The server copies what was put before it lets go.
  xcb_shm_detach(connection_, segment_);
  xcb_flush(connection_);
  shmdt(picture_);
  picture_ = nullptr;
  sharedZoom_ = 0;
}

void X11FieldPainter::Put(const Field& field, const QRect& pixels, int zoom, QPoint origin) {
  if (SharedPicture(zoom)) {
    PutShared(field, pixels, zoom, origin);
  } else {
    PutInRequests(field, pixels, zoom, origin);
  }
}

void X11FieldPainter::PutShared(const Field& field, const QRect& pixels, int zoom, QPoint origin) {
  const int stride = FieldWidth * zoom;
  const int width = pixels.width() * zoom;
  for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
    const uint8_t* from = field.Pixels() + y * FieldWidth;
    uint32_t* row = picture_ + static_cast<size_t>(y) * zoom * stride + pixels.left() * zoom;
    Widen(from + pixels.left(), pixels.width(), zoom, row);
    for (int k = 1; k < zoom; ++k) std::copy_n(row, width, row + k * stride);
  }
  xcb_shm_put_image(connection_, static_cast<xcb_window_t>(view_.winId()), gc_,
                    static_cast<uint16_t>(stride), static_cast<uint16_t>(FieldHeight * zoom),
                    static_cast<uint16_t>(pixels.left() * zoom),
                    static_cast<uint16_t>(pixels.top() * zoom), static_cast<uint16_t>(width),
                    static_cast<uint16_t>(pixels.height() * zoom),
                    static_cast<int16_t>(origin.x() + pixels.left() * zoom),
                    static_cast<int16_t>(origin.y() + pixels.top() * zoom), depth_,
                    XCB_IMAGE_FORMAT_Z_PIXMAP, 0, segment_, 0);
}

void X11FieldPainter::PutInRequests(const Field& field, const QRect& pixels, int zoom,
                                    QPoint origin) {
  const int width = pixels.width() * zoom;
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  // Whole field rows per request, as many as a request may carry.
  const int fieldRowsEach = std::max<int>(1, static_cast<int>(mostBytes_ / rowBytes) / zoom);
  for (int top = pixels.top(); top <= pixels.bottom(); top += fieldRowsEach) {
    const int rows = std::min(fieldRowsEach, pixels.bottom() + 1 - top);
    rows_.resize(static_cast<size_t>(width) * rows * zoom);
    uint32_t* to = rows_.data();
    for (int y = top; y < top + rows; ++y) {
      const uint8_t* from = field.Pixels() + y * FieldWidth;
      uint32_t* row = to;
      to = Widen(from + pixels.left(), pixels.width(), zoom, to);
      for (int k = 1; k < zoom; ++k) to = std::copy_n(row, width, to);
    }
    xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, static_cast<xcb_window_t>(view_.winId()),
                  gc_, static_cast<uint16_t>(width), static_cast<uint16_t>(rows * zoom),
                  static_cast<int16_t>(origin.x() + pixels.left() * zoom),
                  static_cast<int16_t>(origin.y() + top * zoom), 0, depth_,
                  static_cast<uint32_t>(rows_.size() * 4),
                  reinterpret_cast<const uint8_t*>(rows_.data()));
  }
}

void X11FieldPainter::Send() {
  xcb_flush(connection_);
}

}  // namespace kavarin
