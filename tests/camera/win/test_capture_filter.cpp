// A test capture filter: IBaseFilter (just enough to be bound), the
// kernel-streaming topology, and IKsControl on node instances. Which nodes it
// offers comes from the "Behaviour" value of the device's registry entry,
// read through IPersistPropertyBag, so one server plays several cameras.
// IKsControl comes from MinGW's own ksproxy.h rather than the checker's
// declaration, so a wrong vtable on either side shows up as a failing call.
#define STRSAFE_NO_DEPRECATE
#include <dshow.h>
#include <ks.h>
#include <ksproxy.h>
#include <oleauto.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "camera/ks_interfaces_win.h"

namespace {

// {5C0B3F2E-8A41-4D6B-9E27-3C1F0A9B7D61}
const GUID kClsid = {0x5C0B3F2E, 0x8A41, 0x4D6B, {0x9E, 0x27, 0x3C, 0x1F, 0x0A, 0x9B, 0x7D, 0x61}};
const GUID kDevSpecific = {0x941C7AC0,
                           0xC559,
                           0x11D0,
                           {0x8A, 0x2B, 0x00, 0xA0, 0xC9, 0x25, 0x5A, 0xC1}};
const GUID kCameraTerminal = {0xDFF229E1,
                              0xF70F,
                              0x11D0,
                              {0xB9, 0x17, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
const GUID kH264Unit = {0xA29E7641,
                        0xDE04,
                        0x47E3,
                        {0x8B, 0x2B, 0xF4, 0x34, 0x1A, 0xFF, 0x00, 0x3B}};
const GUID kOtherSet = {0x1F5A3D6C,
                        0x1234,
                        0x4ABC,
                        {0x9E, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}};

std::atomic<long> g_live{0};
std::atomic<long> g_locks{0};

struct Node {
  GUID type;
  std::vector<GUID> sets;
  HRESULT type_result = S_OK;
  HRESULT create_result = S_OK;
  bool empty = false;          // answers the size query with 0 bytes
  HRESULT data_result = S_OK;  // the data query's answer
};

std::vector<Node> nodes_for(const std::wstring& behaviour) {
  if (behaviour == L"match")
    return {{kCameraTerminal, {}},
            {kDevSpecific, {kOtherSet}},
            {kDevSpecific, {kOtherSet, kH264Unit}},
            {kDevSpecific, {kH264Unit}}};
  if (behaviour == L"failing") {
    std::vector<Node> nodes(4, Node{kDevSpecific, {kH264Unit}});
    nodes[0].type_result = E_FAIL;
    nodes[1].create_result = E_NOINTERFACE;
    nodes[2].empty = true;
    nodes[3].data_result = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    return nodes;
  }
  return {{kCameraTerminal, {}}, {kDevSpecific, {kOtherSet}}};  // "nounit"
}

// Reference counting shared by every object of the server.
template <typename Derived>
class Object {
 public:
  Object() { ++g_live; }
  virtual ~Object() { --g_live; }
  ULONG add_ref() { return ++refs_; }
  ULONG release() {
    ULONG left = --refs_;
    if (left == 0)
      delete static_cast<Derived*>(this);
    return left;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

#define CC_IUNKNOWN_REFS                       \
  ULONG STDMETHODCALLTYPE AddRef() override {  \
    return add_ref();                          \
  }                                            \
  ULONG STDMETHODCALLTYPE Release() override { \
    return release();                          \
  }

bool is_request_for(const void* property, ULONG length, DWORD node) {
  if (length != 32)
    return false;
  unsigned char expected[32] = {};
  const DWORD flags = 0x10000100;
  std::memcpy(expected + 20, &flags, 4);
  std::memcpy(expected + 24, &node, 4);
  return std::memcmp(property, expected, 32) == 0;
}

class NodeControl : public IKsControl, public Object<NodeControl> {
 public:
  NodeControl(DWORD id, Node node) : id_(id), node_(std::move(node)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid != IID_IUnknown && iid != cc::kIidKsControl) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<IKsControl*>(this);
    AddRef();
    return S_OK;
  }
  CC_IUNKNOWN_REFS
  HRESULT STDMETHODCALLTYPE KsProperty(PKSPROPERTY property,
                                       ULONG length,
                                       void* data,
                                       ULONG data_length,
                                       ULONG* returned) override {
    if (!is_request_for(property, length, id_))
      return E_INVALIDARG;
    const ULONG needed = node_.empty ? 0 : static_cast<ULONG>(node_.sets.size() * sizeof(GUID));
    *returned = needed;
    if (!data || data_length < needed)
      return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
    if (FAILED(node_.data_result))
      return node_.data_result;
    std::memcpy(data, node_.sets.data(), needed);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE KsMethod(PKSMETHOD, ULONG, void*, ULONG, ULONG*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE KsEvent(PKSEVENT, ULONG, void*, ULONG, ULONG*) override {
    return E_NOTIMPL;
  }

 private:
  DWORD id_;
  Node node_;
};

class Filter : public IBaseFilter,
               public IPersistPropertyBag,
               public cc::KsTopologyInfoInterface,
               public Object<Filter> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IMediaFilter ||
        iid == IID_IBaseFilter)
      *out = static_cast<IBaseFilter*>(this);
    else if (iid == IID_IPersistPropertyBag)
      *out = static_cast<IPersistPropertyBag*>(this);
    else if (iid == cc::kIidKsTopologyInfo && behaviour_ != L"notopology")
      *out = static_cast<cc::KsTopologyInfoInterface*>(this);
    if (!*out)
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  CC_IUNKNOWN_REFS

  // IPersist, IPersistPropertyBag
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
    *clsid = kClsid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InitNew() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override {
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(bag->Read(L"Behaviour", &value, log)) && value.vt == VT_BSTR && value.bstrVal)
      behaviour_ = value.bstrVal;
    VariantClear(&value);
    nodes_ = nodes_for(behaviour_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Save(IPropertyBag*, BOOL, BOOL) override { return E_NOTIMPL; }

  // IMediaFilter, IBaseFilter: a filter nobody streams from.
  HRESULT STDMETHODCALLTYPE Stop() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Pause() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE* state) override {
    *state = State_Stopped;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override {
    *clock = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override {
    *pins = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin** pin) override {
    *pin = nullptr;
    return VFW_E_NOT_FOUND;
  }
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override {
    std::memset(info, 0, sizeof(*info));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override {
    *info = nullptr;
    return E_NOTIMPL;
  }

  // IKsTopologyInfo
  HRESULT STDMETHODCALLTYPE get_NumCategories(DWORD* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Category(DWORD, GUID*) override { return E_INVALIDARG; }
  HRESULT STDMETHODCALLTYPE get_NumConnections(DWORD* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ConnectionInfo(DWORD, void*) override { return E_INVALIDARG; }
  HRESULT STDMETHODCALLTYPE get_NodeName(DWORD, WCHAR*, DWORD, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE get_NumNodes(DWORD* count) override {
    *count = static_cast<DWORD>(nodes_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_NodeType(DWORD node, GUID* type) override {
    if (node >= nodes_.size())
      return E_INVALIDARG;
    if (FAILED(nodes_[node].type_result))
      return nodes_[node].type_result;
    *type = nodes_[node].type;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateNodeInstance(DWORD node, REFIID iid, void** out) override {
    *out = nullptr;
    if (node >= nodes_.size())
      return E_INVALIDARG;
    if (FAILED(nodes_[node].create_result))
      return nodes_[node].create_result;
    NodeControl* control = new NodeControl(node, nodes_[node]);
    HRESULT hr = control->QueryInterface(iid, out);
    control->Release();
    return hr;
  }

 private:
  std::wstring behaviour_ = L"nounit";
  std::vector<Node> nodes_ = nodes_for(L"nounit");
};

class Factory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid != IID_IUnknown && iid != IID_IClassFactory) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // static lifetime
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    *out = nullptr;
    if (outer)
      return CLASS_E_NOAGGREGATION;
    Filter* filter = new Filter();
    HRESULT hr = filter->QueryInterface(iid, out);
    filter->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? ++g_locks : --g_locks;
    return S_OK;
  }
};

Factory g_factory;

}  // namespace

extern "C" HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (clsid != kClsid) {
    *out = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return g_factory.QueryInterface(iid, out);
}

extern "C" HRESULT STDMETHODCALLTYPE DllCanUnloadNow() {
  return g_live == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

// How many of the server's objects are still alive, for leak checks.
extern "C" long cc_test_live_objects() {
  return g_live;
}
