// The two kernel-streaming COM interfaces the UVC 1.1 probe talks to. MinGW
// ships no vidcap.h, and its ksproxy.h drags in the whole of ks.h, so both
// are declared here from their published vtable layouts.
#pragma once

#include <windows.h>

#include <unknwn.h>

namespace cc {

// IKsTopologyInfo {720D4AC0-7533-11D0-A5D6-28DB04C10000}; the methods stand in
// vtable order, which is not the alphabetical order the documentation uses.
struct KsTopologyInfoInterface : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_NumCategories(DWORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Category(DWORD index, GUID* category) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NumConnections(DWORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionInfo(DWORD index, void* connection) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NodeName(DWORD node,
                                                 WCHAR* name,
                                                 DWORD buffer_size,
                                                 DWORD* name_length) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NumNodes(DWORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NodeType(DWORD node, GUID* type) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateNodeInstance(DWORD node, REFIID iid, void** object) = 0;
};

// IKsControl {28F54685-06FD-11D2-B27A-00A0C9223196}.
struct KsControlInterface : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE KsProperty(void* property,
                                               ULONG property_length,
                                               void* data,
                                               ULONG data_length,
                                               ULONG* bytes_returned) = 0;
  virtual HRESULT STDMETHODCALLTYPE KsMethod(void* method,
                                             ULONG method_length,
                                             void* data,
                                             ULONG data_length,
                                             ULONG* bytes_returned) = 0;
  virtual HRESULT STDMETHODCALLTYPE KsEvent(void* event,
                                            ULONG event_length,
                                            void* data,
                                            ULONG data_length,
                                            ULONG* bytes_returned) = 0;
};

// Not in MinGW's import libraries: vidcap.h and ksproxy.h are where they live.
constexpr GUID kIidKsTopologyInfo = {0x720D4AC0,
                                     0x7533,
                                     0x11D0,
                                     {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
constexpr GUID kIidKsControl = {0x28F54685,
                                0x06FD,
                                0x11D2,
                                {0xB2, 0x7A, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

}  // namespace cc
