#pragma once
// COM plumbing: the thread's apartment for the life of a scope, BSTR and
// VARIANT owners, and failed calls as base::Error with their HRESULT.
#include <windows.h>
#include <oleauto.h>

#include <string>

namespace win {

// Joins the calling thread to a single-threaded apartment (or finds it
// already joined) and leaves it again at the end of the scope.
class ComApartment {
 public:
  ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  HRESULT hr_;
};

class Bstr {
 public:
  explicit Bstr(const wchar_t* text) : p_(SysAllocString(text)) {}
  ~Bstr() { SysFreeString(p_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return p_; }

 private:
  BSTR p_;
};

class Variant {
 public:
  Variant() { VariantInit(&v_); }
  ~Variant() { VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* put() {
    VariantClear(&v_);
    return &v_;
  }
  const VARIANT& get() const { return v_; }

 private:
  VARIANT v_;
};

// Throws base::Error, whose code is `hr` and whose text names what was
// being done, when `hr` is a failure.
void check(HRESULT hr, const char* what);

// A wide text in the system's ANSI code page.
std::string narrow(const wchar_t* text, int length);

}  // namespace win
