// Files and folders dropped on the list.
#include <windows.h>

#include <ole2.h>
#include <shellapi.h>

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "app/Twips.h"
#include "app/frmMain.h"
#include "app/resource.h"
#include "common/WinOwners.h"
#include "list/DropFiles.h"

namespace vorpa {

namespace {

FORMATETC FileListFormat() { return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

bool HoldsFileList(IDataObject* data) {
  if (!data) return false;
  FORMATETC format = FileListFormat();
  return data->QueryGetData(&format) == S_OK;
}

std::vector<std::wstring> ReadFileList(IDataObject* data) {
  std::vector<std::wstring> paths;
  FORMATETC format = FileListFormat();
  STGMEDIUM medium{};
  if (FAILED(data->GetData(&format, &medium))) return paths;
  if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
    // The block's own size bounds every read: its contents come from the
    // program the files were dragged from.
    const size_t size = GlobalSize(medium.hGlobal);
    if (const void* p = GlobalLock(medium.hGlobal)) {
      paths = ParseDropFiles(static_cast<const unsigned char*>(p), size);
      GlobalUnlock(medium.hGlobal);
    }
  }
  ReleaseStgMedium(&medium);
  return paths;
}

int ButtonsOf(DWORD keys) {
  return ((keys & MK_LBUTTON) ? 1 : 0) | ((keys & MK_RBUTTON) ? 2 : 0) | ((keys & MK_MBUTTON) ? 4 : 0);
}

int ShiftOf(DWORD keys) {
  return ((keys & MK_SHIFT) ? 1 : 0) | ((keys & MK_CONTROL) ? 2 : 0) | ((keys & MK_ALT) ? 4 : 0);
}

}  // namespace

// The list's OLE drop target. Owned by COM reference counts; the window holds
// one reference from RegisterListDrop to RevokeListDrop and detaches the
// target then, so that a source still holding it reaches no dead window.
class ListDropTarget final : public IDropTarget {
 public:
  explicit ListDropTarget(frmMain* form) : form_(form) {}
  ListDropTarget(const ListDropTarget&) = delete;
  ListDropTarget& operator=(const ListDropTarget&) = delete;

  void Detach() {
    form_ = nullptr;
    ForgetData();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
      *object = static_cast<IDropTarget*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override {
    if (!effect) return E_INVALIDARG;
    data_ = ComPtr<IDataObject>::Share(data);
    return Over(0, keys, pt, *effect);
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL pt, DWORD* effect) override {
    if (!effect) return E_INVALIDARG;
    return Over(2, keys, pt, *effect);
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override {
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT hr = Over(1, 0, POINTL{0, 0}, effect);
    ForgetData();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override {
    if (!effect) return E_INVALIDARG;
    ForgetData();
    if (!form_) {
      *effect = DROPEFFECT_NONE;
      return S_OK;
    }
    // Keeps this target alive if the window goes while the drop pumps
    // messages.
    AddRef();
    HRESULT hr = S_OK;
    try {
      const bool taken = HoldsFileList(data) && !form_->busy();
      DWORD handlerEffect = *effect;
      double x, y;
      ToList(pt, x, y);
      form_->lstView_OLEDragDrop(data, handlerEffect, ButtonsOf(keys), ShiftOf(keys), x, y);
      *effect = Answer(taken, *effect);
    } catch (...) {
      *effect = DROPEFFECT_NONE;
      hr = E_UNEXPECTED;
    }
    Release();
    return hr;
  }

 private:
  ~ListDropTarget() { ForgetData(); }

  // The source hears copy or nothing, whatever it offered: the list only reads
  // the paths, and a move answered to the shell makes it delete the originals.
  static DWORD Answer(bool acceptable, DWORD offered) {
    return acceptable ? (offered & DROPEFFECT_COPY) : DROPEFFECT_NONE;
  }

  HRESULT Over(int state, DWORD keys, POINTL pt, DWORD& effect) {
    if (!form_) {
      effect = DROPEFFECT_NONE;
      return S_OK;
    }
    try {
      const DWORD offered = effect;
      double x, y;
      ToList(pt, x, y);
      form_->lstView_OLEDragOver(data_.get(), effect, ButtonsOf(keys), ShiftOf(keys), x, y, state);
      // Windows takes the answer to DragEnter as the effect until the next
      // DragOver, and for a drop that comes before any move.
      if (state == 0) effect = Answer(HoldsFileList(data_.get()) && !form_->busy(), offered);
      return S_OK;
    } catch (...) {
      effect = DROPEFFECT_NONE;
      return E_UNEXPECTED;
    }
  }

  void ToList(POINTL screen, double& x, double& y) const {
    POINT p{screen.x, screen.y};
    if (form_ && form_->lstView) ScreenToClient(form_->lstView, &p);
    x = PixelsToTwips(p.x);
    y = PixelsToTwips(p.y);
  }

  void ForgetData() { data_.reset(); }

  LONG refs_ = 1;
  frmMain* form_;
  ComPtr<IDataObject> data_;  // from DragEnter: DragOver gets no data object
};

}  // namespace vorpa

using namespace vorpa;

void frmMain::RegisterListDrop() {
  if (dropTarget_ || !lstView) return;
  // The target is born holding the reference that the window keeps.
  ComPtr<ListDropTarget> target(new (std::nothrow) ListDropTarget(this));
  if (!target) return;
  // Fails without OLE on this thread; the list then takes no drops.
  if (FAILED(RegisterDragDrop(lstView, target.get()))) {
    target->Detach();
    return;
  }
  dropTarget_ = target.detach();
}

void frmMain::RevokeListDrop() {
  if (!dropTarget_) return;
  const ComPtr<ListDropTarget> target(std::exchange(dropTarget_, nullptr));
  if (lstView) RevokeDragDrop(lstView);
  target->Detach();
}

IDropTarget* frmMain::DropTarget() const { return dropTarget_; }

void frmMain::lstView_OLEDragOver(IDataObject* Data, DWORD& Effect, int, int, double, double, int& State) {
  if (State != 2) return;
  // A drop during a walk would be ignored: say so while the pointer moves.
  Effect = (HoldsFileList(Data) && !busy()) ? (Effect & DROPEFFECT_COPY) : DROPEFFECT_NONE;
}

void frmMain::lstView_OLEDragDrop(IDataObject* Data, DWORD&, int, int, double, double) {
  if (!HoldsFileList(Data) || busy()) return;
  // Copied out first: the data object belongs to the source, and the pump
  // below may run anything.
  std::vector<std::wstring> paths = ReadFileList(Data);
  if (IsChecked(IDM_NEWADD0)) {
    ClearList(L"");
  } else {
    MakeColumns(L"", false);
  }
  {
    BusyScope scope(*this);
    // Messages run before paths 20, 40...; dropped folders are walked.
    AddUrlFiles(std::move(paths), L"", 1);
  }
  if (lstView) RefreshList();
}
