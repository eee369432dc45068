#pragma once
// File and folder services: path helpers, the folder browser, folder
// listings and shell file operations.

class clsFileFolder {
 public:
  clsFileFolder() = default;
};
