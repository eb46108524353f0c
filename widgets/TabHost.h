// The tab control that hosts the option pages: each tab shows one child dialog (a
// child window of the tab control), the selected tab's page is shown and every other
// one hidden, and the pages fill the tab control's display area wherever it moves.
#pragma once
#include <windows.h>

#include <string>

#include "widgets/Widget.h"

namespace vantor {

class CTabHost : public CWidget {
 public:
  // Creates the tab control as a visible child of hParent with an empty rectangle.
  bool Create(HWND hParent, UINT nId);
  // The parent's font, a little room round the labels.
  void SetDisplayOptions();

  // Adds a tab for the page at the end, only when no tab shows that page yet. The
  // first page added is shown; later ones stay hidden until selected. Returns the
  // tab's index, or -1 when the page already has a tab (or there is no control).
  int AddPage(HWND hPage, const std::wstring& strLabel);
  int FindPage(HWND hPage) const;
  int get_PageCount() const;
  HWND get_Page(int nIndex) const;
  int get_Selected() const;
  // Selects a tab and shows its page.
  void SelectPage(int nIndex);

  // Moves the tab control onto a rectangle in its parent's client coordinates.
  void MoveTo(const RECT& rc);
  // The part of the tab control the pages fill, in its client coordinates.
  RECT get_DisplayArea() const;

 protected:
  LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  bool OnParentMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, INT_PTR* pResult) override;

 private:
  void ShowSelectedPage();
  void LayoutPages();
};

}  // namespace vantor
