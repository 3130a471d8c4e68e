// An in-process COM server that Media Foundation enumerates as a hardware
// H.264 encoder. Only what the checker calls behaves; the rest answers
// E_NOTIMPL. Behaviour, read from the environment at each call:
//   CC_TEST_ENCODER_SIZES       "all" (default), "none", or "640x360,1280x720"
//   CC_TEST_ENCODER_PROPERTIES  "all" (default), "none", or a list of
//                               "lowlatency", "maxref", "temporal"
//   CC_TEST_ENCODER_SET_LAYERS  "fail" refuses every layer count; otherwise
//                               only a VT_UI4 of 2 is accepted
//   CC_TEST_ENCODER_UNLOCK      "fail" refuses MF_TRANSFORM_ASYNC_UNLOCK
//   CC_TEST_ENCODER_FAULT       a comma-separated list of "ActivateObject",
//                               "SetOutputType:WxH" and "Release" (the last
//                               Release of the encoder and of each attribute
//                               store it hands out, which the caller holds
//                               alone): a real access violation at each of
//                               those points
//   CC_TEST_ENCODER_HANG        "SetOutputType:WxH": that call never returns;
//                               "DLL_PROCESS_ATTACH" or "DLL_PROCESS_DETACH":
//                               DllMain never returns from that notification,
//                               waiting for an event nobody sets, with the
//                               loader lock held (a driver that waits while
//                               it loads or unloads)
//   CC_TEST_ENCODER_LOG         a file that receives one line per call
#include <windows.h>

#include <mfapi.h>
#include <mferror.h>
#include <mftransform.h>
#include <strmif.h>
#include <wrl/client.h>

#include <cstdio>
#include <cstring>
#include <string>

using Microsoft::WRL::ComPtr;

namespace {

// {5C1B2D4E-8A7F-4E3B-9C6D-1A2B3C4D5E6F}
const CLSID kClsid = {0x5c1b2d4e, 0x8a7f, 0x4e3b, {0x9c, 0x6d, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e, 0x6f}};
// codecapi.h names these through __uuidof helpers; plain constants suffice here.
const GUID kLowLatency = {0x9c27891a,
                          0xed7a,
                          0x40e1,
                          {0x88, 0xe8, 0xb2, 0x27, 0x27, 0xa0, 0x24, 0xee}};
const GUID kMaxRef = {0x964829ed, 0x94f9, 0x43b4, {0xb7, 0x4d, 0xef, 0x40, 0x94, 0x4b, 0x69, 0xa0}};
const GUID kTemporal = {0x19caebff,
                        0xb74d,
                        0x4cfd,
                        {0x8c, 0x27, 0xc2, 0xf9, 0xd9, 0x7d, 0x5f, 0x52}};

LONG g_objects = 0;

std::string env(const char* name) {
  char buffer[512];
  DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

bool listed(const std::string& list, const std::string& item) {
  if (list.empty() || list == "all")
    return true;
  const std::string padded = "," + list + ",";
  return padded.find("," + item + ",") != std::string::npos;
}

void log_call(const std::string& line) {
  const std::string path = env("CC_TEST_ENCODER_LOG");
  if (path.empty())
    return;
  if (FILE* file = std::fopen(path.c_str(), "ab")) {
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
  }
}

// A write through a null pointer the compiler cannot see through.
void crash() {
  volatile int* volatile target = nullptr;
  *target = 1;
}

// Crashes when CC_TEST_ENCODER_FAULT names this call. Plain C on purpose, and
// so are its callers' frames: a real driver's frames carry no handler of this
// DLL's own C++ runtime, and neither may the frames the fault unwinds through.
void crash_if_requested(const char* call) {
  char wanted[130] = ",";
  const DWORD length = GetEnvironmentVariableA("CC_TEST_ENCODER_FAULT", wanted + 1, 127);
  if (length == 0 || length >= 127)
    return;
  std::strcat(wanted, ",");
  char item[130] = ",";
  std::strncat(item, call, 127);
  std::strcat(item, ",");
  if (std::strstr(wanted, item))
    crash();
}

// Never returns when CC_TEST_ENCODER_HANG names this call: a driver that
// stops answering. Plain C, like crash_if_requested, so that its callers'
// frames stay free of C++ objects.
void hang_if_requested(const char* call) {
  char wanted[128];
  const DWORD length = GetEnvironmentVariableA("CC_TEST_ENCODER_HANG", wanted, sizeof wanted);
  if (length > 0 && length < sizeof wanted && std::strcmp(wanted, call) == 0)
    Sleep(INFINITE);
}

const char* property_name(const GUID* api) {
  if (IsEqualGUID(*api, kLowLatency))
    return "lowlatency";
  if (IsEqualGUID(*api, kMaxRef))
    return "maxref";
  if (IsEqualGUID(*api, kTemporal))
    return "temporal";
  return "other";
}

// The transform's attribute store: a real store, except that the unlock
// attribute can be refused. Each GetAttributes hands out a view of its own, so
// that its last Release is the caller's.
class Attributes final : public IMFAttributes {
 public:
  explicit Attributes(ComPtr<IMFAttributes> inner) : inner_(std::move(inner)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMFAttributes)) {
      *object = static_cast<IMFAttributes*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = InterlockedDecrement(&refs_);
    if (left == 0) {
      crash_if_requested("Release");
      delete this;
    }
    return left;
  }

  HRESULT STDMETHODCALLTYPE SetUINT32(REFGUID key, UINT32 value) override {
    if (IsEqualGUID(key, MF_TRANSFORM_ASYNC_UNLOCK)) {
      log_call("unlock " + std::to_string(value));
      if (env("CC_TEST_ENCODER_UNLOCK") == "fail")
        return E_ACCESSDENIED;
    }
    return inner_->SetUINT32(key, value);
  }

  // Everything else goes to the real store.
  HRESULT STDMETHODCALLTYPE GetItem(REFGUID k, PROPVARIANT* v) override {
    return inner_->GetItem(k, v);
  }
  HRESULT STDMETHODCALLTYPE GetItemType(REFGUID k, MF_ATTRIBUTE_TYPE* t) override {
    return inner_->GetItemType(k, t);
  }
  HRESULT STDMETHODCALLTYPE CompareItem(REFGUID k, REFPROPVARIANT v, WINBOOL* r) override {
    return inner_->CompareItem(k, v, r);
  }
  HRESULT STDMETHODCALLTYPE Compare(IMFAttributes* o,
                                    MF_ATTRIBUTES_MATCH_TYPE m,
                                    WINBOOL* r) override {
    return inner_->Compare(o, m, r);
  }
  HRESULT STDMETHODCALLTYPE GetUINT32(REFGUID k, UINT32* v) override {
    return inner_->GetUINT32(k, v);
  }
  HRESULT STDMETHODCALLTYPE GetUINT64(REFGUID k, UINT64* v) override {
    return inner_->GetUINT64(k, v);
  }
  HRESULT STDMETHODCALLTYPE GetDouble(REFGUID k, double* v) override {
    return inner_->GetDouble(k, v);
  }
  HRESULT STDMETHODCALLTYPE GetGUID(REFGUID k, GUID* v) override { return inner_->GetGUID(k, v); }
  HRESULT STDMETHODCALLTYPE GetStringLength(REFGUID k, UINT32* n) override {
    return inner_->GetStringLength(k, n);
  }
  HRESULT STDMETHODCALLTYPE GetString(REFGUID k, LPWSTR s, UINT32 c, UINT32* n) override {
    return inner_->GetString(k, s, c, n);
  }
  HRESULT STDMETHODCALLTYPE GetAllocatedString(REFGUID k, LPWSTR* s, UINT32* n) override {
    return inner_->GetAllocatedString(k, s, n);
  }
  HRESULT STDMETHODCALLTYPE GetBlobSize(REFGUID k, UINT32* n) override {
    return inner_->GetBlobSize(k, n);
  }
  HRESULT STDMETHODCALLTYPE GetBlob(REFGUID k, UINT8* b, UINT32 c, UINT32* n) override {
    return inner_->GetBlob(k, b, c, n);
  }
  HRESULT STDMETHODCALLTYPE GetAllocatedBlob(REFGUID k, UINT8** b, UINT32* n) override {
    return inner_->GetAllocatedBlob(k, b, n);
  }
  HRESULT STDMETHODCALLTYPE GetUnknown(REFGUID k, REFIID i, LPVOID* p) override {
    return inner_->GetUnknown(k, i, p);
  }
  HRESULT STDMETHODCALLTYPE SetItem(REFGUID k, REFPROPVARIANT v) override {
    return inner_->SetItem(k, v);
  }
  HRESULT STDMETHODCALLTYPE DeleteItem(REFGUID k) override { return inner_->DeleteItem(k); }
  HRESULT STDMETHODCALLTYPE DeleteAllItems() override { return inner_->DeleteAllItems(); }
  HRESULT STDMETHODCALLTYPE SetUINT64(REFGUID k, UINT64 v) override {
    return inner_->SetUINT64(k, v);
  }
  HRESULT STDMETHODCALLTYPE SetDouble(REFGUID k, double v) override {
    return inner_->SetDouble(k, v);
  }
  HRESULT STDMETHODCALLTYPE SetGUID(REFGUID k, REFGUID v) override { return inner_->SetGUID(k, v); }
  HRESULT STDMETHODCALLTYPE SetString(REFGUID k, LPCWSTR v) override {
    return inner_->SetString(k, v);
  }
  HRESULT STDMETHODCALLTYPE SetBlob(REFGUID k, const UINT8* b, UINT32 n) override {
    return inner_->SetBlob(k, b, n);
  }
  HRESULT STDMETHODCALLTYPE SetUnknown(REFGUID k, IUnknown* u) override {
    return inner_->SetUnknown(k, u);
  }
  HRESULT STDMETHODCALLTYPE LockStore() override { return inner_->LockStore(); }
  HRESULT STDMETHODCALLTYPE UnlockStore() override { return inner_->UnlockStore(); }
  HRESULT STDMETHODCALLTYPE GetCount(UINT32* n) override { return inner_->GetCount(n); }
  HRESULT STDMETHODCALLTYPE GetItemByIndex(UINT32 i, GUID* k, PROPVARIANT* v) override {
    return inner_->GetItemByIndex(i, k, v);
  }
  HRESULT STDMETHODCALLTYPE CopyAllItems(IMFAttributes* d) override {
    return inner_->CopyAllItems(d);
  }

 private:
  ~Attributes() = default;
  LONG refs_ = 1;
  ComPtr<IMFAttributes> inner_;
};

class Encoder final : public IMFTransform, public ICodecAPI {
 public:
  Encoder() { InterlockedIncrement(&g_objects); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMFTransform))
      *object = static_cast<IMFTransform*>(this);
    else if (IsEqualIID(riid, IID_ICodecAPI))
      *object = static_cast<ICodecAPI*>(this);
    else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = InterlockedDecrement(&refs_);
    if (left == 0) {
      crash_if_requested("Release");
      delete this;
    }
    return left;
  }

  // IMFTransform: what the checker calls.
  HRESULT STDMETHODCALLTYPE GetStreamCount(DWORD* inputs, DWORD* outputs) override {
    log_call("GetStreamCount");
    *inputs = 1;
    *outputs = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetAttributes(IMFAttributes** attributes) override {
    log_call("GetAttributes");
    if (!attributes_) {
      HRESULT hr = MFCreateAttributes(&attributes_, 2);
      if (FAILED(hr))
        return hr;
    }
    *attributes = new Attributes(attributes_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetOutputType(DWORD stream, IMFMediaType* type, DWORD flags) override {
    UINT64 size = 0;
    if (type && SUCCEEDED(type->GetUINT64(MF_MT_FRAME_SIZE, &size))) {
      char call[64];
      std::snprintf(call, sizeof call, "SetOutputType:%ux%u", static_cast<unsigned>(size >> 32),
                    static_cast<unsigned>(size));
      crash_if_requested(call);
      hang_if_requested(call);
    }
    return set_output_type(stream, type, flags);
  }

  __attribute__((noinline)) HRESULT set_output_type(DWORD stream, IMFMediaType* type, DWORD flags) {
    UINT64 packed = 0;
    GUID major = GUID_NULL;
    GUID subtype = GUID_NULL;
    if (!type || FAILED(type->GetUINT64(MF_MT_FRAME_SIZE, &packed)) ||
        FAILED(type->GetGUID(MF_MT_MAJOR_TYPE, &major)) ||
        FAILED(type->GetGUID(MF_MT_SUBTYPE, &subtype)))
      return MF_E_INVALIDMEDIATYPE;
    const std::string size = std::to_string(static_cast<UINT32>(packed >> 32)) + "x" +
                             std::to_string(static_cast<UINT32>(packed));
    log_call("SetOutputType " + std::to_string(stream) + " " + size + " flags " +
             std::to_string(flags));
    if (stream != 0)
      return MF_E_INVALIDSTREAMNUMBER;
    if (!IsEqualGUID(major, MFMediaType_Video) || !IsEqualGUID(subtype, MFVideoFormat_H264))
      return MF_E_INVALIDMEDIATYPE;
    const std::string sizes = env("CC_TEST_ENCODER_SIZES");
    return sizes != "none" && listed(sizes, size) ? S_OK : MF_E_INVALIDMEDIATYPE;
  }

  HRESULT STDMETHODCALLTYPE GetStreamLimits(DWORD*, DWORD*, DWORD*, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetStreamIDs(DWORD, DWORD*, DWORD, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetInputStreamInfo(DWORD, MFT_INPUT_STREAM_INFO*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetOutputStreamInfo(DWORD, MFT_OUTPUT_STREAM_INFO*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetInputStreamAttributes(DWORD, IMFAttributes**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetOutputStreamAttributes(DWORD, IMFAttributes**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DeleteInputStream(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddInputStreams(DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetInputAvailableType(DWORD, DWORD, IMFMediaType**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetOutputAvailableType(DWORD, DWORD, IMFMediaType**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetInputType(DWORD, IMFMediaType*, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetInputCurrentType(DWORD, IMFMediaType**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetOutputCurrentType(DWORD, IMFMediaType**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetInputStatus(DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetOutputStatus(DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetOutputBounds(LONGLONG, LONGLONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ProcessEvent(DWORD, IMFMediaEvent*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ProcessMessage(MFT_MESSAGE_TYPE, ULONG_PTR) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ProcessInput(DWORD, IMFSample*, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ProcessOutput(DWORD, DWORD, MFT_OUTPUT_DATA_BUFFER*, DWORD*) override {
    return E_NOTIMPL;
  }

  // ICodecAPI: what the checker calls.
  HRESULT WINAPI IsSupported(const GUID* api) override {
    const char* name = property_name(api);
    log_call(std::string("IsSupported ") + name);
    const std::string properties = env("CC_TEST_ENCODER_PROPERTIES");
    return properties != "none" && listed(properties, name) ? S_OK : E_NOTIMPL;
  }
  HRESULT WINAPI SetValue(const GUID* api, VARIANT* value) override {
    log_call(std::string("SetValue ") + property_name(api) + " vt " + std::to_string(value->vt) +
             " value " + std::to_string(value->vt == VT_UI4 ? value->ulVal : 0));
    if (env("CC_TEST_ENCODER_SET_LAYERS") == "fail")
      return E_INVALIDARG;
    const bool two = value->vt == VT_UI4 && value->ulVal == 2;
    return IsEqualGUID(*api, kTemporal) && two ? S_OK : E_INVALIDARG;
  }

  HRESULT WINAPI IsModifiable(const GUID*) override { return E_NOTIMPL; }
  HRESULT WINAPI GetParameterRange(const GUID*, VARIANT*, VARIANT*, VARIANT*) override {
    return E_NOTIMPL;
  }
  HRESULT WINAPI GetParameterValues(const GUID*, VARIANT**, ULONG*) override { return E_NOTIMPL; }
  HRESULT WINAPI GetDefaultValue(const GUID*, VARIANT*) override { return E_NOTIMPL; }
  HRESULT WINAPI GetValue(const GUID*, VARIANT*) override { return E_NOTIMPL; }
  HRESULT WINAPI RegisterForEvent(const GUID*, LONG_PTR) override { return E_NOTIMPL; }
  HRESULT WINAPI UnregisterForEvent(const GUID*) override { return E_NOTIMPL; }
  HRESULT WINAPI SetAllDefaults() override { return E_NOTIMPL; }
  HRESULT WINAPI SetValueWithNotify(const GUID*, VARIANT*, GUID**, ULONG*) override {
    return E_NOTIMPL;
  }
  HRESULT WINAPI SetAllDefaultsWithNotify(GUID**, ULONG*) override { return E_NOTIMPL; }
  HRESULT WINAPI GetAllSettings(IStream*) override { return E_NOTIMPL; }
  HRESULT WINAPI SetAllSettings(IStream*) override { return E_NOTIMPL; }
  HRESULT WINAPI SetAllSettingsWithNotify(IStream*, GUID**, ULONG*) override { return E_NOTIMPL; }

 private:
  ~Encoder() { InterlockedDecrement(&g_objects); }
  LONG refs_ = 1;
  ComPtr<IMFAttributes> attributes_;
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    crash_if_requested("ActivateObject");
    return create_instance(outer, riid, object);
  }

  __attribute__((noinline)) HRESULT create_instance(IUnknown* outer, REFIID riid, void** object) {
    log_call("CreateInstance");
    *object = nullptr;
    if (outer)
      return CLASS_E_NOAGGREGATION;
    Encoder* encoder = new (std::nothrow) Encoder();
    if (!encoder)
      return E_OUTOFMEMORY;
    HRESULT hr = static_cast<IMFTransform*>(encoder)->QueryInterface(riid, object);
    static_cast<IMFTransform*>(encoder)->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

}  // namespace

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  if (!IsEqualCLSID(clsid, kClsid)) {
    *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return g_factory.QueryInterface(riid, object);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
  return g_objects == 0 ? S_OK : S_FALSE;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
  const char* notification = reason == DLL_PROCESS_ATTACH   ? "DLL_PROCESS_ATTACH"
                             : reason == DLL_PROCESS_DETACH ? "DLL_PROCESS_DETACH"
                                                            : nullptr;
  char wanted[32];
  const DWORD length = GetEnvironmentVariableA("CC_TEST_ENCODER_HANG", wanted, sizeof wanted);
  if (notification && length > 0 && length < sizeof wanted &&
      std::strcmp(wanted, notification) == 0)
    WaitForSingleObject(CreateEventA(nullptr, TRUE, FALSE, nullptr), INFINITE);
  return TRUE;
}
