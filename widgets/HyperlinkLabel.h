// A transparent label shown as a link: underlined, in link blue, with the hand pointer;
// a click opens its target (a web address or a mailto: address) with the shell.
#pragma once
#include <windows.h>

#include <string>

#include "platform/win32/Owners.h"
#include "widgets/TransparentLabel.h"

namespace vantor {

class CHyperlinkLabel : public CTransparentLabel {
 public:
  void SetTarget(const std::wstring& strTarget) { m_strTarget = strTarget; }
  const std::wstring& get_Target() const { return m_strTarget; }
  // Opens the target as a click does.
  void Open() const;

  // The font the link is drawn in (the label's own, underlined).
  HFONT get_LinkFont() const { return m_linkFont.get(); }

 protected:
  void OnAttached() override;
  LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  HFONT DrawingFont() const override;
  COLORREF DrawingColour() const override;

 private:
  void MakeLinkFont();

  std::wstring m_strTarget;
  CFont m_linkFont;
  CHoverTracker m_hover;
};

}  // namespace vantor
