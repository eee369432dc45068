#pragma once
// File and folder services: path helpers, the folder browser, folder
// listings and shell file operations. Every member takes its arguments by
// value and never reports an error for a bad path: the answer is then empty
// text, false, a one-element array holding empty text, or a count of -1.
// The two messages of the class go through vorpa::ShowMessage.
// Published names keep their spelling: the class, its public members and their parameters.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class clsFileFolder {
 public:
  clsFileFolder();

  // --- Folder browser, rooted at a special folder or at a given folder ---
  // Each returns the chosen folder's path, or empty text.
  std::wstring ReferDesktop();
  std::wstring ReferPrograms();
  std::wstring ReferPersonal();
  std::wstring ReferFavorites();
  std::wstring ReferStartMenu();
  std::wstring ReferDrives();
  std::wstring ReferNetwork();
  std::wstring ReferUser(std::wstring UserPath);

  // Browse options, one bit each of the browse flag word (write, then read).
  void RealFolderOnly(bool blnRename);
  bool RealFolderOnly() const;
  void DontNetwork(bool blnRename);
  bool DontNetwork() const;
  void AddStatus(bool blnRename);
  bool AddStatus() const;
  void NetworkOnlySelect(bool blnRename);
  bool NetworkOnlySelect() const;
  void AddFileText(bool blnRename);
  bool AddFileText() const;
  void InvalidItem(bool blnRename);
  bool InvalidItem() const;
  void NetworkOnly(bool blnRename);
  bool NetworkOnly() const;
  void NetworkPrintOnly(bool blnRename);
  bool NetworkPrintOnly() const;
  void AllResource(bool blnRename);
  bool AllResource() const;

  // --- Path and name helpers ---
  std::wstring GetTempFolder();
  int32_t CreateFolder(std::wstring strCreateFolder);
  std::wstring GetLongPath(std::wstring strShortPath);
  std::wstring GetShortPath(std::wstring strLongPath);
  bool FolderExist(std::wstring strFolder);
  bool FileExist(std::wstring strFile);
  std::wstring GetNoTypeFileNameA(std::wstring strFileFullPath);
  std::wstring GetFileNameA(std::wstring strFileFullPath);
  std::wstring GetFileNameAB(std::wstring strFileFullPath);
  std::wstring GetFileName(std::wstring strFileFullPath);
  std::wstring GetFileTypeA(std::wstring strFileFullPath);
  std::wstring GetFileType(std::wstring strFilePath, bool blnExistCheck, bool blnNameCheck);
  std::wstring GetFilePath(std::wstring strFileFullPath);
  std::vector<std::wstring> GetSplitPath(std::wstring strFileFullPath);

  // --- Listings: zero-based arrays of full paths ---
  std::vector<std::wstring> SFolderPath(std::wstring strFolderPath);
  std::vector<std::wstring> GetFolder(std::wstring strFolderPath);
  std::vector<std::wstring> SFilePath(std::wstring strFolderPath);
  std::vector<std::wstring> GetFile(std::wstring strFolderPath);
  std::vector<std::wstring> SFileFolderPath(std::wstring strFolderPath);
  std::vector<std::wstring> GetFileFolder(std::wstring strFolderPath);

  // The text up to its first NUL character.
  static std::wstring NullDel(std::wstring strBuffer);

  // Counts of the last listings; -1 before the first call and after a
  // missing folder.
  int32_t SFolderPathCount() const { return sFolderPathCount_; }
  int32_t FolderPathCount() const { return folderPathCount_; }
  int32_t SFilePathCount() const { return sFilePathCount_; }
  int32_t FilePathCount() const { return filePathCount_; }
  int32_t BSFolderPathCount() const { return bsFolderPathCount_; }
  int32_t BSFilePathCount() const { return bsFilePathCount_; }
  int32_t BFolderPathCount() const { return bFolderPathCount_; }
  int32_t BFilePathCount() const { return bFilePathCount_; }

  // --- Shell file operations: true when the shell reported success ---
  bool Move(std::wstring strFrom, std::wstring strTo);
  bool Copy(std::wstring strFrom, std::wstring strTo);
  bool Recycled(std::wstring strFrom);
  bool Delete(std::wstring strFrom);
  bool Rename(std::wstring strFrom, std::wstring strTo);

  // Owner window of the shell's windows (0 when not a window).
  void Target(HWND lngNewWindow);
  HWND Target() const { return lngTarget_; }
  // File operation options, one bit each of the operation flag word.
  void RespondDialog(bool blnRespond);
  bool RespondDialog() const;
  void RenameOnCollision(bool blnRename);
  bool RenameOnCollision() const;
  void SimpleProgress(bool blnSimple);
  bool SimpleProgress() const;
  void ConfirmMakeDir(bool blnMakeDir);
  bool ConfirmMakeDir() const;
  void ShowDialog(bool blnShowDialog);
  bool ShowDialog() const;
  void AllowUndo(bool blnUndo);
  bool AllowUndo() const;
  void MultiDestFiles(bool blnMultiDestFiles);
  bool MultiDestFiles() const;
  void FilesOnly(bool blnFilesOnly);
  bool FilesOnly() const;
  void WantMappingHandle(bool blnWantMappingHandle);
  bool WantMappingHandle() const;

  // The folder a listing member lists, or empty text after telling the user
  // that it is missing. The window's walk lists the folder it gives itself.
  std::wstring ListedFolder(const std::wstring& strFolderPath);

  // The raw flag words, as handed to the shell.
  uint32_t BrowseFlags() const { return lngBrowseFlags_; }
  uint32_t FileOpFlags() const { return lngFileOpFlags_; }

 private:
  // Special-folder id for a browser rooted at the folder named by the path.
  static constexpr int kRootFromPath = -1;
  std::wstring BrowseFolder(int lngRootId, std::wstring strPath);
  void CollectFolders(const std::wstring& strFolder);
  void CollectFiles(const std::wstring& strFolder);
  void CollectFilesAndFolders(const std::wstring& strFolder);
  bool RunFileOperation(std::wstring strFrom, std::wstring strTo, UINT wFunc);
  // Owner of the class's own message boxes.
  HWND MessageOwner() const;

  HWND lngTarget_ = nullptr;
  uint32_t lngFileOpFlags_ = 0;
  uint32_t lngBrowseFlags_ = 0;
  std::vector<std::wstring> strSFolderList_;
  int32_t sFolderPathCount_ = -1;
  int32_t folderPathCount_ = -1;
  std::vector<std::wstring> strSFileList_;
  int32_t sFilePathCount_ = -1;
  int32_t filePathCount_ = -1;
  std::vector<std::wstring> strSFileFolderList_;
  int32_t bsFolderPathCount_ = -1;
  int32_t bsFilePathCount_ = -1;
  int32_t bFolderPathCount_ = -1;
  int32_t bFilePathCount_ = -1;
};
