// The board's text-entry view: a windowless plain-text rich-edit control hosted on the board
// window. It takes the board window's focus, caret, timers, mouse capture and cursor, gets
// the window's messages first, and paints its frame and text onto the canvas at the end of
// each frame. Without the rich-edit library it still lays out and draws its empty frame.
#pragma once

#include <windows.h>

#include <string>

#include "common/win/com_ref.h"
#include "wb/paint/edit_view.h"

namespace kiv {

class CTxtWinHost;
class GDIPCanvasImpl;

class CRichEditUI : public kiv_wb::IEditView {
 public:
  // Multi-line, want-return, child, visible, clip-children.
  static constexpr DWORD kCreationStyle = 0x52001004;
  static constexpr int kTextLimit = 32767;
  static constexpr uint32_t kFrameColour = 0xFF7FBBEB;

  // A message of the board window for OnEvent; `cursor` in client coordinates (WM_SETCURSOR).
  struct Event {
    UINT message = 0;
    POINT cursor = {0, 0};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
  };

  CRichEditUI();
  ~CRichEditUI() override;
  CRichEditUI(const CRichEditUI&) = delete;
  CRichEditUI& operator=(const CRichEditUI&) = delete;

  // Once only: the text host on `window`, measuring with `canvas`. True.
  bool Init(HWND window, GDIPCanvasImpl* canvas);
  // WM_SIZE, WM_SETFOCUS, WM_KILLFOCUS, WM_SETCURSOR and WM_TIMER of the board window.
  void OnEvent(const Event& event);
  // Every message of the board window, before the board; *handled when the control took it.
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled);

  // kiv_wb::IEditView
  void SetTextFont(const std::string& faceUtf8, int size, float pixelSize, uint32_t argb) override;
  void SetText(const std::string& textUtf8) override;
  void MoveTo(int x, int y, int width) override;
  std::string GetText() override;
  void SetVisible(bool visible) override;
  void GetRect(int* left, int* top, int* right, int* bottom) override;
  void Draw(kiv_wb::IBoardCanvas* canvas) override;
  // S_FALSE without text services, else their result.
  virtual HRESULT SendTextMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual bool CanRedraw() { return true; }
  virtual void OnTxNotify(DWORD code, void* data);

  // For the host.
  HWND GetWindow() const { return m_window; }
  bool IsRich() const { return m_rich; }
  int GetTextLimit() const { return m_textLimit; }
  COLORREF GetTextColorRef() const;
  // Releases the DC handed out before and hands out a new DC of the board window.
  HDC TakeWindowDC();
  void SetCaptured(bool captured) { m_captured = captured; }

  bool HasHost() const { return static_cast<bool>(m_host); }
  bool IsFocused() const { return m_focused; }

 private:
  std::wstring GetTextW();
  void Layout(int x, int y);
  bool HandleMouse(UINT message, WPARAM wParam, LPARAM lParam);
  void PlaceComposition();

  kiv_common::ComRef<CTxtWinHost> m_host;
  bool m_rich = false;
  std::wstring m_fontFace;
  int m_fontSize = 0;
  float m_pixelFontSize = 0.0f;
  uint32_t m_textColor = 0;  // 0x00RRGGBB
  int m_textLimit = kTextLimit;
  DWORD m_style = kCreationStyle;
  bool m_created = false;
  RECT m_insets = {0, 0, 0, 0};
  RECT m_rect = {0, 0, 0, 0};
  HWND m_window = nullptr;
  HDC m_cachedDC = nullptr;
  bool m_visible = false;
  bool m_focused = false;
  bool m_captured = false;
  GDIPCanvasImpl* m_canvas = nullptr;
};

}  // namespace kiv
