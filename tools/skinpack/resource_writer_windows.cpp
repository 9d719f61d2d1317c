// The resource writer on Windows: the system's own, UpdateResourceW, working on a copy of the
// program in the temporary folder. The certificate table is cut off first (the system would carry
// a signature over that no longer matches), and the header checksum is set afterwards, since the
// system's writer leaves the old one in place.
#include <windows.h>

#include "pe_file.h"
#include "resource_writer.h"

namespace {

std::string SystemMessage(const char* what) {
  DWORD code = GetLastError();
  char text[256] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                 nullptr);
  std::string message = std::string(what) + " failed (error " + std::to_string(code) + ")";
  if (text[0]) message += ": " + std::string(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  return message;
}

bool WriteWhole(const wchar_t* path, const std::vector<uint8_t>& data, std::string* error) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = SystemMessage("creating the temporary copy");
    return false;
  }
  DWORD written = 0;
  bool ok = WriteFile(file, data.data(), DWORD(data.size()), &written, nullptr) && written == data.size();
  if (!ok) *error = SystemMessage("writing the temporary copy");
  CloseHandle(file);
  return ok;
}

bool ReadWhole(const wchar_t* path, std::vector<uint8_t>* data, std::string* error) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = SystemMessage("reading the temporary copy back");
    return false;
  }
  LARGE_INTEGER size = {};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 0x7FFFFFFF;
  DWORD read = 0;
  if (ok) {
    data->assign(size_t(size.QuadPart), 0);
    ok = ReadFile(file, data->data(), DWORD(data->size()), &read, nullptr) && read == data->size();
  }
  if (!ok) *error = SystemMessage("reading the temporary copy back");
  CloseHandle(file);
  return ok;
}

// The id as the system's resource calls take it: a number in MAKEINTRESOURCE form, or a name.
const wchar_t* IdFor(const PeResourceId& id, std::wstring* name) {
  if (!id.named) return MAKEINTRESOURCEW(id.id);
  name->assign(id.name.begin(), id.name.end());
  return name->c_str();
}

// The whole resource set is written anew: the copy's resources are cleared and the merged set
// written back. Removing one resource with the system's call (null data) leaves it in place under
// Wine; the check that follows the write holds every kept resource to its old bytes, type, name
// and language.
bool UpdateCopy(const wchar_t* path, const std::vector<PeResource>& resources, std::string* error) {
  HANDLE update = BeginUpdateResourceW(path, TRUE);
  if (!update) {
    *error = SystemMessage("BeginUpdateResourceW");
    return false;
  }
  for (const PeResource& r : resources) {
    std::wstring typeName, name;
    if (!UpdateResourceW(update, IdFor(r.type, &typeName), IdFor(r.name, &name), WORD(r.language),
                         const_cast<uint8_t*>(r.data.data()), DWORD(r.data.size()))) {
      *error = SystemMessage(("UpdateResourceW for " + PeResourceIdText(r.type) + "/" + PeResourceIdText(r.name)).c_str());
      EndUpdateResourceW(update, TRUE);
      return false;
    }
  }
  if (!EndUpdateResourceW(update, FALSE)) {
    *error = SystemMessage("EndUpdateResourceW");
    return false;
  }
  return true;
}

}  // namespace

bool WriteProgramResources(const std::vector<uint8_t>& program, const std::vector<ProgramResource>& resources,
                           std::vector<uint8_t>* result, std::string* error) {
  std::vector<uint8_t> copy = program;
  PeFile pe;
  std::vector<PeResource> merged;
  if (!StripPeSignature(&copy, error) || !ParsePeFile(copy, &pe, error) ||
      !ReadPeResources(copy, pe, &merged, error) || !MergeProgramResources(resources, &merged, error))
    return false;
  const bool hadChecksum = pe.checksum != 0;

  wchar_t folder[MAX_PATH], path[MAX_PATH];
  if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"skn", 0, path)) {
    *error = SystemMessage("making a temporary file");
    return false;
  }
  bool ok = WriteWhole(path, copy, error) && UpdateCopy(path, merged, error) &&
            ReadWhole(path, result, error);
  DeleteFileW(path);
  if (!ok) return false;
  if (hadChecksum) {
    if (!ParsePeFile(*result, &pe, error)) return false;
    SetPeChecksum(result, pe);
  }
  return true;
}
