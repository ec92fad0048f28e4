#include "system/x11/x11_message_box.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <atomic>
#include <bitset>
#include <cstdio>
#include <optional>
#include <utility>

#include "system/x11/x11_connection.h"
#include "system/x11/x11_window_identity.h"

namespace {

constexpr int MARGIN = 16;
constexpr int ICON_SIZE = 32;
constexpr int BUTTON_MIN_WIDTH = 80;
constexpr int BUTTON_GAP = 8;
constexpr int MIN_WIDTH = 240;
// The width the text wraps to, in characters of the font.
constexpr int WRAP_COLUMNS = 56;

const char16_t* LabelOf(MessageBoxAnswer answer) {
  switch (answer) {
    case MESSAGE_BOX_ANSWER_OK:
      return u"OK";
    case MESSAGE_BOX_ANSWER_CANCEL:
      return u"Cancel";
    case MESSAGE_BOX_ANSWER_YES:
      return u"Yes";
    case MESSAGE_BOX_ANSWER_NO:
      return u"No";
  }
  return u"";
}

// The shortcut letter of each answer is the first letter of its label.
std::optional<MessageBoxAnswer> AnswerOfKey(KeySym key) {
  switch (key) {
    case XK_o:
      return MESSAGE_BOX_ANSWER_OK;
    case XK_c:
      return MESSAGE_BOX_ANSWER_CANCEL;
    case XK_y:
      return MESSAGE_BOX_ANSWER_YES;
    case XK_n:
      return MESSAGE_BOX_ANSWER_NO;
    default:
      return std::nullopt;
  }
}

// Tabs and other control characters would draw as boxes; line breaks stay.
std::u16string CleanText(const String& text) {
  std::u16string out;
  out.reserve(text.Chars().size());
  for (char16_t c : text.Chars()) {
    if (c == u'\r') continue;
    out += (c < u' ' && c != u'\n') ? u' ' : c;
  }
  return out;
}

// Greedy wrap at blanks; a word wider than the line is cut where it must be.
void WrapParagraph(std::u16string_view paragraph, int maxWidth, const MessageBoxMetrics& metrics,
                   std::vector<std::u16string>& lines) {
  std::u16string line;
  size_t pos = 0;
  bool any = false;
  while (pos < paragraph.size()) {
    if (paragraph[pos] == u' ') {
      ++pos;
      continue;
    }
    const size_t end = std::min(paragraph.find(u' ', pos), paragraph.size());
    std::u16string word(paragraph.substr(pos, end - pos));
    pos = end;
    any = true;
    std::u16string candidate = line.empty() ? word : line + u' ' + word;
    if (metrics.textWidth(candidate) <= maxWidth) {
      line = std::move(candidate);
      continue;
    }
    if (!line.empty()) lines.push_back(std::move(line));
    line = std::move(word);
    while (line.size() > 1 && metrics.textWidth(line) > maxWidth) {
      size_t fit = 1;
      while (fit + 1 < line.size() &&
             metrics.textWidth(std::u16string_view(line).substr(0, fit + 1)) <= maxWidth) {
        ++fit;
      }
      lines.push_back(line.substr(0, fit));
      line.erase(0, fit);
    }
  }
  if (!line.empty() || !any) lines.push_back(std::move(line));
}

}  // namespace

std::vector<MessageBoxAnswer> MessageBoxAnswers(MessageBoxButtons buttons) {
  switch (buttons) {
    case MESSAGE_BOX_OK:
      return {MESSAGE_BOX_ANSWER_OK};
    case MESSAGE_BOX_OK_CANCEL:
      return {MESSAGE_BOX_ANSWER_OK, MESSAGE_BOX_ANSWER_CANCEL};
    case MESSAGE_BOX_YES_NO_CANCEL:
      return {MESSAGE_BOX_ANSWER_YES, MESSAGE_BOX_ANSWER_NO, MESSAGE_BOX_ANSWER_CANCEL};
  }
  return {MESSAGE_BOX_ANSWER_OK};
}

MessageBoxLayout LayoutMessageBox(const String& text, MessageBoxButtons buttons,
                                  const MessageBoxMetrics& metrics) {
  MessageBoxLayout layout;
  layout.icon = {MARGIN, MARGIN, ICON_SIZE, ICON_SIZE};
  layout.textX = MARGIN + ICON_SIZE + MARGIN;
  layout.lineHeight = std::max(1, metrics.ascent + metrics.descent + 2);

  const int maxTextWidth = std::max(metrics.maxWidth - layout.textX - MARGIN, 40);
  const std::u16string clean = CleanText(text);
  for (size_t start = 0;;) {
    const size_t end = std::min(clean.find(u'\n', start), clean.size());
    WrapParagraph(std::u16string_view(clean).substr(start, end - start), maxTextWidth, metrics,
                  layout.lines);
    if (end == clean.size()) break;
    start = end + 1;
  }

  const std::vector<MessageBoxAnswer> answers = MessageBoxAnswers(buttons);
  const int buttonHeight = std::max(24, layout.lineHeight + 10);
  int rowWidth = -BUTTON_GAP;
  std::vector<int> buttonWidths;
  for (MessageBoxAnswer answer : answers) {
    buttonWidths.push_back(std::max(BUTTON_MIN_WIDTH, metrics.textWidth(LabelOf(answer)) + 24));
    rowWidth += buttonWidths.back() + BUTTON_GAP;
  }

  // A text too long for the screen is cut so the buttons always show.
  const int fixedHeight = 3 * MARGIN + buttonHeight;
  const int maxLines = std::max(1, (metrics.maxHeight - fixedHeight) / layout.lineHeight);
  if (static_cast<int>(layout.lines.size()) > maxLines) {
    layout.lines.resize(static_cast<size_t>(maxLines));
    layout.lines.back() = u"...";
  }

  int textWidth = 0;
  for (const std::u16string& line : layout.lines) {
    textWidth = std::max(textWidth, metrics.textWidth(line));
  }
  const int textHeight = static_cast<int>(layout.lines.size()) * layout.lineHeight;
  const int contentHeight = std::max(ICON_SIZE, textHeight);

  layout.width = std::max({layout.textX + textWidth + MARGIN, rowWidth + 2 * MARGIN, MIN_WIDTH});
  layout.height = 2 * MARGIN + contentHeight + MARGIN + buttonHeight;
  layout.firstBaseline = MARGIN + (contentHeight - textHeight) / 2 + 1 + metrics.ascent;

  int x = (layout.width - rowWidth) / 2;
  const int y = layout.height - MARGIN - buttonHeight;
  for (int width : buttonWidths) {
    layout.buttons.push_back({x, y, width, buttonHeight});
    x += width + BUTTON_GAP;
  }
  return layout;
}

namespace {

// Errors of requests that may fail through no fault of ours (a window that
// vanished meanwhile) are swallowed while a trap is set; others go on to the
// handler that was there before.
class XErrorTrap {
 public:
  explicit XErrorTrap(Display* display) : display_(display) {
    XSync(display_, False);
    trapped_.store(display_);
    errors_.store(0);
    previous_ = XSetErrorHandler(Handle);
  }
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;
  ~XErrorTrap() { Release(); }

  // True when no request since the trap was set failed.
  bool Release() {
    if (display_) {
      XSync(display_, False);
      XSetErrorHandler(previous_);
      trapped_.store(nullptr);
      display_ = nullptr;
    }
    return errors_.load() == 0;
  }

 private:
  static int Handle(Display* display, XErrorEvent* event) {
    if (display == trapped_.load()) {
      errors_.fetch_add(1);
      return 0;
    }
    return previous_ ? previous_(display, event) : 0;
  }

  Display* display_;
  static inline std::atomic<Display*> trapped_{nullptr};
  static inline std::atomic<int> errors_{0};
  static inline XErrorHandler previous_ = nullptr;
};

class BoxFont {
 public:
  explicit BoxFont(Display* display) : display_(display) {
    // Unicode faces first; "fixed" exists on every server; the GC's own font
    // is the last resort when the font path is empty.
    static const char* const NAMES[] = {
        "-misc-fixed-medium-r-normal--13-120-75-75-c-70-iso10646-1",
        "-misc-fixed-medium-r-semicondensed--13-120-75-75-c-60-iso10646-1",
        "-misc-fixed-medium-r-normal--13-*-75-75-c-*-iso8859-1",
        "fixed",
    };
    for (const char* name : NAMES) {
      info_ = XLoadQueryFont(display, name);
      if (info_) return;
    }
    info_ = XQueryFont(display, XGContextFromGC(DefaultGC(display, DefaultScreen(display))));
    shared_ = true;
  }
  BoxFont(const BoxFont&) = delete;
  BoxFont& operator=(const BoxFont&) = delete;
  ~BoxFont() {
    if (!info_) return;
    if (shared_) {
      XFreeFontInfo(nullptr, info_, 1);
    } else {
      XFreeFont(display_, info_);
    }
  }

  // Loaded into a GC of ours; the shared font is every new GC's default.
  ::Font Id() const { return shared_ || !info_ ? None : info_->fid; }
  int Ascent() const { return info_ ? info_->ascent : 10; }
  int Descent() const { return info_ ? info_->descent : 3; }

  // Characters the font lacks show as '?'.
  std::vector<XChar2b> Glyphs(std::u16string_view text) const {
    std::vector<XChar2b> glyphs;
    glyphs.reserve(text.size());
    for (char16_t c : text) {
      const unsigned row = c >> 8, column = c & 0xFF;
      const bool present = info_ && row >= info_->min_byte1 && row <= info_->max_byte1 &&
                           column >= info_->min_char_or_byte2 && column <= info_->max_char_or_byte2;
      glyphs.push_back(
          present ? XChar2b{static_cast<unsigned char>(row), static_cast<unsigned char>(column)}
                  : XChar2b{0, '?'});
    }
    return glyphs;
  }

  int Width(std::u16string_view text) const {
    if (!info_) return static_cast<int>(text.size()) * 6;
    const std::vector<XChar2b> glyphs = Glyphs(text);
    return XTextWidth16(info_, glyphs.data(), static_cast<int>(glyphs.size()));
  }

 private:
  Display* display_;
  XFontStruct* info_ = nullptr;
  bool shared_ = false;
};

MessageBoxMetrics MetricsFor(Display* display, const BoxFont& font) {
  const int screen = DefaultScreen(display);
  MessageBoxMetrics metrics;
  metrics.textWidth = [&font](std::u16string_view text) { return font.Width(text); };
  metrics.ascent = font.Ascent();
  metrics.descent = font.Descent();
  const int wrapWidth = WRAP_COLUMNS * std::max(1, font.Width(u"n")) + ICON_SIZE + 3 * MARGIN;
  metrics.maxWidth = std::max(MIN_WIDTH, std::min(DisplayWidth(display, screen) - 32, wrapWidth));
  // Leaves room for a window manager's frame.
  metrics.maxHeight = std::max(120, DisplayHeight(display, screen) - 64);
  return metrics;
}

struct Colours {
  unsigned long background, text, face, light, shadow, warning, info, mark;
};

class ColourAllocator {
 public:
  ColourAllocator(Display* display, Colormap colormap) : display_(display), colormap_(colormap) {}
  ColourAllocator(const ColourAllocator&) = delete;
  ColourAllocator& operator=(const ColourAllocator&) = delete;
  ~ColourAllocator() {
    if (!pixels_.empty()) {
      XFreeColors(display_, colormap_, pixels_.data(), static_cast<int>(pixels_.size()), 0);
    }
  }

  unsigned long Get(unsigned rgb, unsigned long fallback) {
    XColor colour{};
    colour.red = static_cast<unsigned short>(((rgb >> 16) & 0xFF) * 0x101);
    colour.green = static_cast<unsigned short>(((rgb >> 8) & 0xFF) * 0x101);
    colour.blue = static_cast<unsigned short>((rgb & 0xFF) * 0x101);
    colour.flags = DoRed | DoGreen | DoBlue;
    if (!XAllocColor(display_, colormap_, &colour)) return fallback;
    pixels_.push_back(colour.pixel);
    return colour.pixel;
  }

 private:
  Display* display_;
  Colormap colormap_;
  std::vector<unsigned long> pixels_;
};

// Bytes of the ICCCM STRING type (Latin-1); what it cannot hold shows as '?'.
std::string Latin1(const String& text) {
  std::string out;
  for (char16_t c : text.Chars()) out += c < 256 ? static_cast<char>(c) : '?';
  return out;
}

struct Placement {
  int x = 0, y = 0;
  Window owner = None;
};

// Centred over the game's active window when there is one, else on the
// screen; always kept on the screen.
Placement Place(Display* display, int width, int height) {
  const int screen = DefaultScreen(display);
  const int screenWidth = DisplayWidth(display, screen);
  const int screenHeight = DisplayHeight(display, screen);
  Placement placement;
  int areaX = 0, areaY = 0, areaWidth = screenWidth, areaHeight = screenHeight;
  const Window owner = display == X11Display() ? ActiveX11Window() : None;
  if (owner != None) {
    XErrorTrap trap(display);
    XWindowAttributes attributes{};
    Window child = None;
    int x = 0, y = 0;
    if (XGetWindowAttributes(display, owner, &attributes) && attributes.map_state == IsViewable &&
        XTranslateCoordinates(display, owner, RootWindow(display, screen), 0, 0, &x, &y, &child) &&
        trap.Release()) {
      placement.owner = owner;
      areaX = x;
      areaY = y;
      areaWidth = attributes.width;
      areaHeight = attributes.height;
    }
  }
  placement.x = std::clamp(areaX + (areaWidth - width) / 2, 0, std::max(0, screenWidth - width));
  placement.y =
      std::clamp(areaY + (areaHeight - height) / 2, 0, std::max(0, screenHeight - height));
  return placement;
}

class MessageBoxWindow {
 public:
  MessageBoxWindow(Display* display, const String& title, const String& text,
                   MessageBoxButtons buttons, bool serious)
      : display_(display),
        screen_(DefaultScreen(display)),
        font_(display),
        colourAllocator_(display, DefaultColormap(display, screen_)),
        answers_(MessageBoxAnswers(buttons)),
        serious_(serious) {
    layout_ = LayoutMessageBox(text, buttons, MetricsFor(display, font_));
    AllocateColours();

    XGetInputFocus(display_, &savedFocus_, &savedRevert_);
    // A key held down when the box opens (the one that led to it, say) must
    // not answer it by repeating.
    char keys[32];
    XQueryKeymap(display_, keys);
    for (int i = 0; i < 256; ++i)
      heldAtOpen_[static_cast<size_t>(i)] = (keys[i / 8] >> (i % 8)) & 1;

    // The box is modal: a grab left by the game would keep it from the
    // pointer and the keyboard.
    XUngrabPointer(display_, CurrentTime);
    XUngrabKeyboard(display_, CurrentTime);

    const Placement placement = Place(display_, layout_.width, layout_.height);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = colours_.background;
    attributes.event_mask = ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask |
                            ButtonReleaseMask | Button1MotionMask | StructureNotifyMask;
    window_ = XCreateWindow(display_, RootWindow(display_, screen_), placement.x, placement.y,
                            static_cast<unsigned>(layout_.width),
                            static_cast<unsigned>(layout_.height), 0, CopyFromParent, InputOutput,
                            CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    created_ = window_;
    gc_ = XCreateGC(display_, window_, 0, nullptr);
    if (font_.Id() != None) XSetFont(display_, gc_, font_.Id());
    SetProperties(title, placement);
    XMapRaised(display_, window_);
    XFlush(display_);
  }

  MessageBoxWindow(const MessageBoxWindow&) = delete;
  MessageBoxWindow& operator=(const MessageBoxWindow&) = delete;

  ~MessageBoxWindow() {
    XFreeGC(display_, gc_);
    if (window_ != None) {
      // The focus goes back where it was, unless it has moved on elsewhere.
      Window focus = None;
      int revert = 0;
      XGetInputFocus(display_, &focus, &revert);
      if (focus == window_) {
        XErrorTrap trap(display_);
        XSetInputFocus(display_, savedFocus_, savedRevert_, CurrentTime);
      }
      XDestroyWindow(display_, window_);
    }
    // Whatever of ours is still queued would only reach the pump.
    XSync(display_, False);
    XEvent event;
    while (XCheckIfEvent(display_, &event, IsOurs, reinterpret_cast<XPointer>(&created_))) {
    }
  }

  MessageBoxAnswer Run() {
    for (;;) {
      XEvent event;
      XIfEvent(display_, &event, IsOurs, reinterpret_cast<XPointer>(&window_));
      if (const std::optional<MessageBoxAnswer> answer = Handle(event)) return *answer;
    }
  }

 private:
  static Bool IsOurs(Display*, XEvent* event, XPointer window) {
    return event->xany.window == *reinterpret_cast<Window*>(window);
  }

  void AllocateColours() {
    const unsigned long black = BlackPixel(display_, screen_);
    const unsigned long white = WhitePixel(display_, screen_);
    colours_.background = colourAllocator_.Get(0xECECEC, white);
    colours_.text = colourAllocator_.Get(0x101010, black);
    colours_.face = colourAllocator_.Get(0xDADADA, white);
    colours_.light = colourAllocator_.Get(0xFFFFFF, white);
    colours_.shadow = colourAllocator_.Get(0x707070, black);
    colours_.warning = colourAllocator_.Get(0xF2B200, black);
    colours_.info = colourAllocator_.Get(0x2F6FD0, black);
    colours_.mark = serious_ ? colours_.text : colours_.light;
  }

  void SetProperties(const String& title, const Placement& placement) {
    const std::string latin1 = Latin1(title);
    XStoreName(display_, window_, latin1.c_str());
    const std::string utf8 = title.ToUtf8();
    const Atom utf8String = XInternAtom(display_, "UTF8_STRING", False);
    XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_NAME", False), utf8String, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(utf8.data()),
                    static_cast<int>(utf8.size()));
    SetX11WindowIdentity(display_, window_);

    SetX11FixedGeometry(display_, window_, placement.x, placement.y, layout_.width, layout_.height);
    XWMHints* hints = XAllocWMHints();
    if (hints) {
      hints->flags = InputHint | StateHint;
      hints->input = True;
      hints->initial_state = NormalState;
      XSetWMHints(display_, window_, hints);
      XFree(hints);
    }
    Atom deleteWindow = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display_, window_, &deleteWindow, 1);
    if (placement.owner != None) XSetTransientForHint(display_, window_, placement.owner);

    Atom type = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_WINDOW_TYPE", False), XA_ATOM,
                    32, PropModeReplace, reinterpret_cast<unsigned char*>(&type), 1);
    Atom state[] = {XInternAtom(display_, "_NET_WM_STATE_ABOVE", False),
                    XInternAtom(display_, "_NET_WM_STATE_MODAL", False)};
    XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_STATE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(state),
                    placement.owner != None ? 2 : 1);
  }

  std::optional<MessageBoxAnswer> Handle(XEvent& event) {
    switch (event.type) {
      case Expose:
        if (event.xexpose.count == 0) Draw();
        break;
      case MapNotify: {
        XErrorTrap trap(display_);
        XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        break;
      }
      case KeyPress:
        return HandleKey(event.xkey);
      case KeyRelease:
        if (event.xkey.keycode < 256) heldAtOpen_[event.xkey.keycode] = false;
        break;
      case ButtonPress:
        if (event.xbutton.button == Button1) {
          pressed_ = ButtonAt(event.xbutton.x, event.xbutton.y);
          armed_ = pressed_ >= 0;
          if (pressed_ >= 0) focused_ = pressed_;
          Draw();
        }
        break;
      case MotionNotify:
        if (pressed_ >= 0) {
          const bool armed = ButtonAt(event.xmotion.x, event.xmotion.y) == pressed_;
          if (armed != armed_) {
            armed_ = armed;
            Draw();
          }
        }
        break;
      case ButtonRelease:
        if (event.xbutton.button == Button1 && pressed_ >= 0) {
          const int pressed = std::exchange(pressed_, -1);
          if (ButtonAt(event.xbutton.x, event.xbutton.y) == pressed) return answers_[pressed];
          Draw();
        }
        break;
      case ClientMessage:
        if (event.xclient.message_type == XInternAtom(display_, "WM_PROTOCOLS", False) &&
            static_cast<Atom>(event.xclient.data.l[0]) ==
                XInternAtom(display_, "WM_DELETE_WINDOW", False)) {
          return CancelAnswer();
        }
        break;
      case DestroyNotify:
        if (event.xdestroywindow.window == window_) {
          window_ = None;
          return CancelAnswer();
        }
        break;
      default:
        break;
    }
    return std::nullopt;
  }

  std::optional<MessageBoxAnswer> HandleKey(XKeyEvent& key) {
    if (key.keycode < 256 && heldAtOpen_[key.keycode]) return std::nullopt;
    const KeySym sym = XLookupKeysym(&key, 0);
    const int count = static_cast<int>(answers_.size());
    switch (sym) {
      case XK_Return:
      case XK_KP_Enter:
      case XK_space:
        return answers_[static_cast<size_t>(focused_)];
      case XK_Escape:
        return CancelAnswer();
      case XK_Tab:
        MoveFocus((key.state & ShiftMask) ? -1 : 1);
        return std::nullopt;
      case XK_ISO_Left_Tab:
      case XK_Left:
      case XK_Up:
        MoveFocus(-1);
        return std::nullopt;
      case XK_Right:
      case XK_Down:
        MoveFocus(1);
        return std::nullopt;
      default:
        break;
    }
    if (const std::optional<MessageBoxAnswer> answer = AnswerOfKey(sym)) {
      for (int i = 0; i < count; ++i) {
        if (answers_[static_cast<size_t>(i)] == *answer) return answer;
      }
    }
    return std::nullopt;
  }

  MessageBoxAnswer CancelAnswer() const {
    return answers_.size() == 1 ? answers_.front() : MESSAGE_BOX_ANSWER_CANCEL;
  }

  void MoveFocus(int step) {
    const int count = static_cast<int>(answers_.size());
    focused_ = (focused_ + step + count) % count;
    Draw();
  }

  int ButtonAt(int x, int y) const {
    for (size_t i = 0; i < layout_.buttons.size(); ++i) {
      if (layout_.buttons[i].Contains(x, y)) return static_cast<int>(i);
    }
    return -1;
  }

  void Fill(unsigned long colour, int x, int y, int width, int height) {
    XSetForeground(display_, gc_, colour);
    XFillRectangle(display_, window_, gc_, x, y, static_cast<unsigned>(std::max(0, width)),
                   static_cast<unsigned>(std::max(0, height)));
  }

  void Text(unsigned long colour, int x, int baseline, std::u16string_view text) {
    const std::vector<XChar2b> glyphs = font_.Glyphs(text);
    XSetForeground(display_, gc_, colour);
    XDrawString16(display_, window_, gc_, x, baseline, glyphs.data(),
                  static_cast<int>(glyphs.size()));
  }

  void DrawIcon() {
    const MessageBoxRect& r = layout_.icon;
    const int middle = r.x + r.width / 2;
    if (serious_) {
      XPoint triangle[] = {
          {static_cast<short>(middle), static_cast<short>(r.y + 1)},
          {static_cast<short>(r.x + r.width - 1), static_cast<short>(r.y + r.height - 2)},
          {static_cast<short>(r.x + 1), static_cast<short>(r.y + r.height - 2)}};
      XSetForeground(display_, gc_, colours_.warning);
      XFillPolygon(display_, window_, gc_, triangle, 3, Convex, CoordModeOrigin);
      Fill(colours_.mark, middle - 1, r.y + 10, 3, 12);
      Fill(colours_.mark, middle - 1, r.y + 24, 3, 3);
    } else {
      XSetForeground(display_, gc_, colours_.info);
      XFillArc(display_, window_, gc_, r.x, r.y, static_cast<unsigned>(r.width - 1),
               static_cast<unsigned>(r.height - 1), 0, 360 * 64);
      Fill(colours_.mark, middle - 1, r.y + 7, 3, 3);
      Fill(colours_.mark, middle - 1, r.y + 12, 3, 13);
    }
  }

  void DrawButton(size_t index) {
    const MessageBoxRect& r = layout_.buttons[index];
    const bool sunken = static_cast<int>(index) == pressed_ && armed_;
    Fill(colours_.face, r.x, r.y, r.width, r.height);
    const unsigned long topLeft = sunken ? colours_.shadow : colours_.light;
    const unsigned long bottomRight = sunken ? colours_.light : colours_.shadow;
    Fill(topLeft, r.x, r.y, r.width, 1);
    Fill(topLeft, r.x, r.y, 1, r.height);
    Fill(bottomRight, r.x, r.y + r.height - 1, r.width, 1);
    Fill(bottomRight, r.x + r.width - 1, r.y, 1, r.height);
    if (static_cast<int>(index) == focused_) {
      XSetForeground(display_, gc_, colours_.text);
      XDrawRectangle(display_, window_, gc_, r.x - 1, r.y - 1, static_cast<unsigned>(r.width + 1),
                     static_cast<unsigned>(r.height + 1));
      XSetLineAttributes(display_, gc_, 0, LineOnOffDash, CapButt, JoinMiter);
      XDrawRectangle(display_, window_, gc_, r.x + 3, r.y + 3, static_cast<unsigned>(r.width - 7),
                     static_cast<unsigned>(r.height - 7));
      XSetLineAttributes(display_, gc_, 0, LineSolid, CapButt, JoinMiter);
    }

    const std::u16string_view label = LabelOf(answers_[index]);
    const int offset = sunken ? 1 : 0;
    const int x = r.x + (r.width - font_.Width(label)) / 2 + offset;
    const int baseline =
        r.y + (r.height - font_.Ascent() - font_.Descent()) / 2 + font_.Ascent() + offset;
    Text(colours_.text, x, baseline, label);
    // The shortcut letter.
    Fill(colours_.text, x, baseline + 1, font_.Width(label.substr(0, 1)), 1);
  }

  void Draw() {
    if (window_ == None) return;
    Fill(colours_.background, 0, 0, layout_.width, layout_.height);
    // A frame of our own: without a window manager there is no other.
    XSetForeground(display_, gc_, colours_.shadow);
    XDrawRectangle(display_, window_, gc_, 0, 0, static_cast<unsigned>(layout_.width - 1),
                   static_cast<unsigned>(layout_.height - 1));
    DrawIcon();
    int baseline = layout_.firstBaseline;
    for (const std::u16string& line : layout_.lines) {
      Text(colours_.text, layout_.textX, baseline, line);
      baseline += layout_.lineHeight;
    }
    for (size_t i = 0; i < layout_.buttons.size(); ++i) DrawButton(i);
    XFlush(display_);
  }

  Display* display_;
  int screen_;
  BoxFont font_;
  ColourAllocator colourAllocator_;
  Colours colours_{};
  std::vector<MessageBoxAnswer> answers_;
  bool serious_;
  MessageBoxLayout layout_;
  // window_ becomes None once the window is gone; created_ keeps its id.
  Window window_ = None;
  Window created_ = None;
  GC gc_ = nullptr;
  Window savedFocus_ = None;
  int savedRevert_ = RevertToParent;
  std::bitset<256> heldAtOpen_;
  int focused_ = 0;
  int pressed_ = -1;
  bool armed_ = false;
};

}  // namespace

MessageBoxLayout LayoutMessageBox(Display* display, const String& text, MessageBoxButtons buttons) {
  const BoxFont font(display);
  return LayoutMessageBox(text, buttons, MetricsFor(display, font));
}

MessageBoxAnswer RunMessageBox(Display* display, const String& title, const String& text,
                               MessageBoxButtons buttons, bool serious) {
  if (!display) {
    const std::string utf8 = text.ToUtf8() + "\n";
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    std::fflush(stderr);
    return MESSAGE_BOX_ANSWER_CANCEL;
  }
  MessageBoxWindow box(display, title, text, buttons, serious);
  return box.Run();
}
