#pragma once
// The main window: the menu bar, the virtual list `lstView` drawn from the
// row model, and the form-level state every command shares. Event handlers
// keep their event names and hand the work to the subsystem code; they are
// defined next to that code (list/, interaction/, output/).
// Published names keep their spelling: the form, its controls, state and handlers (lstView, mnuOpen_Click...).
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/WinOwners.h"
#include "list/RowModel.h"

class clsFileFolder;

namespace vorpa {
class ListDropTarget;
struct EntryReadAhead;
}

class frmMain {
 public:
  frmMain();
  ~frmMain();
  frmMain(const frmMain&) = delete;
  frmMain& operator=(const frmMain&) = delete;

  // Creates and shows the window; Form_Load runs before it is first shown.
  // quitOnDestroy: end the message loop when the window goes (the program
  // does; tests that create several windows in a row do not).
  bool Create(HINSTANCE instance, int showCommand, bool quitOnDestroy = true);
  HWND hwnd() const { return hwnd_; }
  HACCEL accelerators() const { return accel_; }
  // TranslateAccelerator for this window; used by every message loop.
  bool TranslateAccel(MSG& msg) const;

  // --- Form-level state --------------------------------------------------
  HWND lstView = nullptr;
  vorpa::RowModel rows;  // the only place rows live
  std::wstring strListFolder;
  bool blnDblClick = false;
  std::unique_ptr<clsFileFolder> objFileFolder;
  clsFileFolder& FileFolder();  // objFileFolder, created on first use

  // The window's mouse pointer: 0 default, 11 hourglass.
  void SetMousePointer(int pointer);
  int MousePointer() const { return mousePointer_; }
  // The list's own pointer (0 default, 15 move arrow) and its move mark.
  int lstMousePointer = 0;
  std::wstring lstTag;
  // The pop-up menu of the list (the submenu of the hidden "POPUP" item).
  HMENU mnuPop = nullptr;

  // Long commands (a walk, a drop) let messages run; while one does, commands
  // that change the list or start another long one are ignored, and a close
  // is held until the walk stops at its next pump step.
  bool busy() const { return busyDepth_ > 0; }
  bool closePending() const { return closePending_; }
  class BusyScope {
   public:
    explicit BusyScope(frmMain& f) : f_(f) { ++f_.busyDepth_; }
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

   private:
    frmMain& f_;
  };
  // One pump step: runs every pending message. Returns false when the window
  // is being closed and the running command should stop.
  bool DoEvents();

  // --- The list view ------------------------------------------------------
  // Tells the control how many rows there are and repaints it.
  void RefreshList();
  // After rows were removed or reordered: the control forgets its rows and
  // selection marks, takes the model's afresh, and keeps its top row.
  void ReloadList();
  // Shows the model's selection marks. No selection is handed to the control
  // in one message; any other, all rows included, is drawn from the model,
  // which the control then asks for each row's mark.
  void PushSelectionToView();
  // The list's width in twips, as the column widths are computed from it.
  double ListWidthTwips() const;
  std::wstring ColumnCaption(int column) const;  // 0-based
  // Row under a point of the list (pixels, client coordinates), or nothing.
  std::optional<size_t> HitTest(int x, int y) const;
  // Current row of the list (its focused item), or nothing.
  std::optional<size_t> SelectedItem() const;

  // --- Menu state -----------------------------------------------------------
  bool IsChecked(UINT id) const;
  void SetChecked(UINT id, bool checked);

  // --- Start-up, layout and closing ---------------------------------------
  void Form_Load();
  void Form_Resize();
  void Form_QueryUnload();
  void mnuClose_Click();
  void mnuVer_Click();

  // --- Columns --------------------------------------------------------------
  void MakeColumns(std::wstring strFolder, bool blnAddMode);
  void ClearList(std::wstring strFolder);

  // --- Folder scan (list/FolderScan.cpp) ----------------------------------
  void mnuOpen_Click();
  void OpenFolder(std::wstring strFolder);
  void ListFolder(std::wstring strFolder);
  void AddUrlFile(std::wstring strFile, std::wstring strBaseFolder);
  // The same with the shortcut file already read ahead of the walk.
  void AddUrlFile(std::wstring strFile, std::wstring strBaseFolder, vorpa::EntryReadAhead* read);
  // AddUrlFile for each path in order, the shortcut files among them read
  // ahead on a few threads; messages run before every 20th entry, counted
  // from `pumpPhase`. Stops when the window is being closed.
  void AddUrlFiles(std::vector<std::wstring> paths, const std::wstring& strBaseFolder, size_t pumpPhase);
  void mnuFavoritesDesktop_Click(int Index);
  void mnuNewAdd_Click(int Index);
  void mnuSubFolder_Click(int Index);

  // --- Sorting, selection, deletion (interaction/ListCommands.cpp) --------
  void lstView_ColumnClick(int ColumnIndex);  // 1-based
  void lstView_KeyDown(int KeyCode, int Shift);
  void mnuAllSelect_Click();
  void mnuAllNotSelect_Click();
  void mnuDel_Click();
  void mnuAllDel_Click();
  void mnuPAllSelect_Click();
  void mnuPAllNotSelect_Click();
  void mnuPDel_Click();
  void mnuPAllDel_Click();
  int SortOrder = 0;  // 0 ascending, 1 descending: the last sort direction

  // --- Mouse and opening (interaction/Mouse.cpp, interaction/OpenUrl.cpp) --
  // Button 1 left, 2 right, 4 middle; Shift 1 Shift, 2 Ctrl, 4 Alt; x and y
  // in twips relative to the list.
  void lstView_MouseDown(int Button, int Shift, double x, double y);
  void lstView_MouseMove(int Button, int Shift, double x, double y);
  void lstView_MouseUp(int Button, int Shift, double x, double y);
  void lstView_DblClick();
  void OpenUrl(std::optional<size_t> item);

  // --- Drop intake (list/DropIntake.cpp) -----------------------------------
  void RegisterListDrop();
  void RevokeListDrop();
  // The drop target registered on the list, or nothing when OLE refused it.
  IDropTarget* DropTarget() const;
  // State: 0 enter, 1 leave, 2 over.
  void lstView_OLEDragOver(IDataObject* Data, DWORD& Effect, int Button, int Shift, double x, double y,
                           int& State);
  void lstView_OLEDragDrop(IDataObject* Data, DWORD& Effect, int Button, int Shift, double x, double y);

  // --- Output (output/CsvSave.cpp, output/ExcelExport.cpp) ---------------
  void mnuSave_Click();
  std::wstring MakeCsvText();
  // Writes the list as the CSV file strFile (MakeCsvText's text and a final
  // line end, in the ANSI code page or, when that cannot hold it, UTF-8),
  // replacing an existing file only once the new one is complete; tells the
  // user when it cannot.
  bool SaveCsvFile(const std::wstring& strFile);
  void mnuExcel_Click();

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK ListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref);
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleListMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT PassPressToList(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT OnNotify(NMHDR* hdr);
  void OnCommand(UINT id);
  void OnClose();
  void SetColumns(const std::wstring& thirdCaption);
  // The control asks the model for the marks (see PushSelectionToView).
  void SetMarksFromModel(bool on);
  // Marks the model's rows in the control itself, for input with which the
  // control builds on the selection it holds.
  void TakeSelectionIntoView();
  // Before the control handles an input message while the model draws the
  // marks; after a release that the control took.
  void BeforeListInput(UINT msg, WPARAM wp, LPARAM lp);
  void AfterListRelease(UINT msg);
  // The window moved to a monitor with another DPI (or was created on one):
  // the twips layout, the column widths and the list's font follow it.
  void OnDpiChanged(int dpi, const RECT* suggested);

  HWND hwnd_ = nullptr;
  vorpa::UniqueFont listFont_;  // only once the DPI differs from the system's
  HACCEL accel_ = nullptr;
  HMENU popup_ = nullptr;
  bool quitOnDestroy_ = true;
  int mousePointer_ = 0;
  int busyDepth_ = 0;
  bool closePending_ = false;
  bool syncingSelection_ = false;
  bool marksFromModel_ = false;
  std::optional<size_t> pressedMarkedRow_;  // a plain press on a marked row, until its release
  bool popupShown_ = false;  // set by lstView_MouseDown: the press was the menu's
  vorpa::ListDropTarget* dropTarget_ = nullptr;
};

// Shift state of the keyboard as the handlers take it: 1 Shift, 2 Ctrl, 4 Alt.
int CurrentShiftState();
