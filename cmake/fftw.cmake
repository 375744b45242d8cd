# FFTW 3, single precision. Natively Debian's libfftw3-dev; the Windows editions
# link the static build that scripts/build-fftw.sh makes, named by AMBRELITH_FFTW_DIR.
set(AMBRELITH_FFTW_DIR "" CACHE PATH "Prefix of a static single-precision FFTW build")
if(AMBRELITH_FFTW_DIR)
  add_library(fftw3f STATIC IMPORTED GLOBAL)
  set_target_properties(fftw3f PROPERTIES
    IMPORTED_LOCATION ${AMBRELITH_FFTW_DIR}/lib/libfftw3f.a
    INTERFACE_INCLUDE_DIRECTORIES ${AMBRELITH_FFTW_DIR}/include)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(FFTW3F REQUIRED IMPORTED_TARGET fftw3f)
  add_library(fftw3f INTERFACE IMPORTED GLOBAL)
  target_link_libraries(fftw3f INTERFACE PkgConfig::FFTW3F)
endif()
