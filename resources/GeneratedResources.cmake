# Resources that are not kept in the repository: the licence texts of the libraries we link,
# taken from the installed Debian packages, and the splash images, drawn by make_images.cpp.
# kq_generated_resources(<var>) builds both into one resource file "kq7000fp_generated" and
# sets <var> to the source that compiles it in (registered by kq7000fp_resources::init()).

# A licence text made of installed files, one after the other. Missing files stop the
# configure step: a program without its licences must not be built.
function(kq_licence_text out)
  set(text "")
  foreach(source IN LISTS ARGN)
    if(NOT EXISTS "${source}")
      message(FATAL_ERROR
        "The licence text ${source} is missing. It comes with a Debian package that "
        "scripts/setup.sh installs; install it (dpkg -S ${source} names the package on a "
        "machine that has it) and configure again.")
    endif()
    file(READ "${source}" part)
    if(NOT text STREQUAL "")
      string(APPEND text "\n\n========================================================================\n\n")
    endif()
    string(APPEND text "${part}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
  endforeach()
  # Written through configure_file so that an unchanged text does not rebuild the resources.
  file(WRITE "${out}.new" "${text}")
  configure_file("${out}.new" "${out}" COPYONLY)
endfunction()

function(kq_generated_resources var)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/generated_resources)
  file(MAKE_DIRECTORY ${dir})

  set(doc /usr/share/doc)
  set(licences /usr/share/common-licenses)
  kq_licence_text(${dir}/kiss-fft-bsd-license.txt ${doc}/libkissfft-dev/copyright)
  # Qwt's licence is the LGPL 2.1 with exceptions; its copyright file states the exceptions.
  kq_licence_text(${dir}/qwt-lgpl-license.txt ${doc}/libqwt-qt5-dev/copyright ${licences}/LGPL-2.1)
  # Qt 5 comes under the LGPL 3, which is a set of permissions on top of the GPL 3.
  kq_licence_text(${dir}/qt5-lgpl-license.txt ${licences}/LGPL-3 ${licences}/GPL-3 ${doc}/qtbase5-dev/copyright)
  # Shown only when the program runs on a Qt 4 library, which this build cannot; kept so that
  # the viewer is never empty.
  kq_licence_text(${dir}/qt-lgpl-license.txt ${licences}/LGPL-2.1)

  add_executable(kq_make_images ${PROJECT_SOURCE_DIR}/resources/make_images.cpp)
  target_link_libraries(kq_make_images PRIVATE Qt5::Gui)
  set_target_properties(kq_make_images PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set(images ${dir}/fp_splash.png ${dir}/kq7150fp_splash.png)
  # A sanitizer build instruments the drawing program too; its findings in Qt's start-up
  # are not ours and must not stop the build.
  add_custom_command(OUTPUT ${images}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 TSAN_OPTIONS=exitcode=0
            $<TARGET_FILE:kq_make_images> ${dir}
    DEPENDS kq_make_images
    COMMENT "Drawing the splash images"
    VERBATIM)

  set(qrc ${dir}/kq7000fp_generated.qrc)
  file(WRITE ${qrc}.new [=[<!DOCTYPE RCC>
<RCC version="1.0">
  <qresource prefix="/">
    <file>fp_splash.png</file>
    <file>kq7150fp_splash.png</file>
    <file>kiss-fft-bsd-license.txt</file>
    <file>qwt-lgpl-license.txt</file>
    <file>qt5-lgpl-license.txt</file>
    <file>qt-lgpl-license.txt</file>
  </qresource>
</RCC>
]=])
  configure_file(${qrc}.new ${qrc} COPYONLY)
  qt5_add_resources(sources ${qrc})
  set(${var} ${sources} PARENT_SCOPE)
endfunction()
