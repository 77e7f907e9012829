# The network floor's sources: listed once for its own build and for the fuzz targets.
set(vemo_net_sources Endpoints.cpp HttpGet.cpp HttpTransfer.cpp UrlDownload.cpp)
