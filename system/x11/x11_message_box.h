#pragma once
// Our own modal message box, drawn with Xlib: wrapped text, an icon mark and
// a row of buttons. It runs on the calling thread, takes only its own
// window's events (everything else stays queued for the pump) and ends when a
// button is chosen or the window is closed.

#include <X11/Xlib.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/string.h"

enum MessageBoxButtons { MESSAGE_BOX_OK, MESSAGE_BOX_OK_CANCEL, MESSAGE_BOX_YES_NO_CANCEL };

enum MessageBoxAnswer {
  MESSAGE_BOX_ANSWER_OK,
  MESSAGE_BOX_ANSWER_CANCEL,
  MESSAGE_BOX_ANSWER_YES,
  MESSAGE_BOX_ANSWER_NO
};

// Shows the box and waits for the answer. Escape, the close request and the
// window's destruction read as cancel (as OK when OK is the only button).
// With no display the text goes to standard error and the answer is cancel.
MessageBoxAnswer RunMessageBox(Display* display, const String& title, const String& text,
                               MessageBoxButtons buttons, bool serious);

// The answers of the buttons, left to right; the first one has the focus.
std::vector<MessageBoxAnswer> MessageBoxAnswers(MessageBoxButtons buttons);

struct MessageBoxRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool Contains(int px, int py) const {
    return px >= x && py >= y && px < x + width && py < y + height;
  }
};

// What the text is measured with.
struct MessageBoxMetrics {
  std::function<int(std::u16string_view)> textWidth;
  int ascent = 0;
  int descent = 0;
  // Room the window may take: the text wraps and the lines are cut to fit.
  int maxWidth = 0;
  int maxHeight = 0;
};

// Where everything goes, in window coordinates.
struct MessageBoxLayout {
  int width = 0, height = 0;
  MessageBoxRect icon;
  int textX = 0;
  int firstBaseline = 0;
  int lineHeight = 0;
  std::vector<std::u16string> lines;
  // In the order of MessageBoxAnswers.
  std::vector<MessageBoxRect> buttons;
};

MessageBoxLayout LayoutMessageBox(const String& text, MessageBoxButtons buttons,
                                  const MessageBoxMetrics& metrics);
// The layout the box has on this display: its font and its default screen.
MessageBoxLayout LayoutMessageBox(Display* display, const String& text, MessageBoxButtons buttons);
