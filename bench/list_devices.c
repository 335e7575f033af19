/* The floor for counting cameras through DirectShow: one listing of the video capture
 * devices, as every DirectShow open makes, and nothing opened or started. */
#define COBJMACROS
#include <dshow.h>
#include <stdio.h>

int main(void) {
  int count = 0;
  ICreateDevEnum* devices = NULL;
  IEnumMoniker* cameras = NULL;
  IMoniker* camera = NULL;
  CoInitialize(NULL);
  if (SUCCEEDED(CoCreateInstance(&CLSID_SystemDeviceEnum, NULL, CLSCTX_INPROC_SERVER,
                                 &IID_ICreateDevEnum, (void**)&devices)) &&
      ICreateDevEnum_CreateClassEnumerator(devices, &CLSID_VideoInputDeviceCategory, &cameras,
                                           0) == S_OK) {
    while (IEnumMoniker_Next(cameras, 1, &camera, NULL) == S_OK) {
      ++count;
      IMoniker_Release(camera);
    }
    IEnumMoniker_Release(cameras);
  }
  if (devices) ICreateDevEnum_Release(devices);
  CoUninitialize();
  printf("nCam = %d\n", count);
  return 0;
}
