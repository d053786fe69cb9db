# Installing Lumeno on a Linux desktop, and the two Debian packages made from that installation:
#
#   lumeno         (component editor)  the editor in lib/lumeno/ with Lumeno.chm beside it, where the
#                                      Help command looks; the lumeno command; the desktop entry, the
#                                      icons and the MIME type of the .lmk local shortcut files
#   lumeno-server  (component server)  vidodu.cgi in lib/cgi-bin/, its guide and example
#                                      configurations for Apache, lighttpd and nginx with fcgiwrap,
#                                      over http and over https, and as a FastCGI application
#
# With -DLUMENO_EDITOR=OFF only lumeno-server is made.
# `cmake --install build --prefix /usr --component editor` installs one of them by hand; `make package`
# (cpack in the build folder) writes both .deb files into build/packages/. Debian's own triggers
# refresh the MIME database, the desktop entry cache and the icon cache when the files land in
# /usr/share, so the packages need no scripts of their own.

include_guard(GLOBAL)

set(LUMENO_PACKAGE_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${LUMENO_REVISION}")
set(lumeno_packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(lumeno_private_dir lib/lumeno)

# ---- The editor -----------------------------------------------------------------------------------

if(TARGET lumeno)
  install(TARGETS lumeno RUNTIME DESTINATION ${lumeno_private_dir} COMPONENT editor)
  # The program finds its folder through /proc/self/exe, which sees through the link, so the
  # command on the PATH is a relative symbolic link and Lumeno.chm stays beside the real file.
  set(lumeno_command_link ${CMAKE_BINARY_DIR}/packaging/lumeno)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
  file(CREATE_LINK ../${lumeno_private_dir}/lumeno ${lumeno_command_link} SYMBOLIC)
  install(FILES ${lumeno_command_link} DESTINATION bin COMPONENT editor)
endif()

if(TARGET lumeno_help)
  install(FILES ${LUMENO_HELP_FILE} DESTINATION ${lumeno_private_dir} COMPONENT editor)
endif()

if(LUMENO_EDITOR)
  install(FILES ${lumeno_packaging_dir}/lumeno.desktop DESTINATION share/applications COMPONENT editor)
  install(FILES ${lumeno_packaging_dir}/lumeno.xml DESTINATION share/mime/packages COMPONENT editor)
endif()

# The icons in the theme's sizes: the drawn sizes as they are, the others scaled from the largest
# drawing with ImageMagick (without it, only the drawn sizes are installed).
find_program(LUMENO_CONVERT NAMES convert)
set(lumeno_icon_source_dir ${PROJECT_SOURCE_DIR}/resources/app)
set(lumeno_icon_theme_dir ${CMAKE_BINARY_DIR}/packaging/icons/hicolor)
set(lumeno_icon_outputs "")

# lumeno_theme_icon(DRAWING prefix CONTEXT apps|mimetypes NAME theme-name)
# resources/app/<prefix>-<size>.png is the drawing of one size; <prefix>.png is the 48-pixel one.
function(lumeno_theme_icon)
  cmake_parse_arguments(I "" "DRAWING;CONTEXT;NAME" "" ${ARGN})
  set(largest ${lumeno_icon_source_dir}/${I_DRAWING}-256.png)
  if(NOT EXISTS ${largest})
    return()
  endif()
  foreach(size IN ITEMS 16 22 24 32 48 64 128 256)
    if(size EQUAL 48)
      set(drawn ${lumeno_icon_source_dir}/${I_DRAWING}.png)
    else()
      set(drawn ${lumeno_icon_source_dir}/${I_DRAWING}-${size}.png)
    endif()
    set(output_dir ${lumeno_icon_theme_dir}/${size}x${size}/${I_CONTEXT})
    set(output ${output_dir}/${I_NAME}.png)
    if(EXISTS ${drawn})
      add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${output_dir}
        COMMAND ${CMAKE_COMMAND} -E copy ${drawn} ${output}
        DEPENDS ${drawn} VERBATIM)
    elseif(LUMENO_CONVERT)
      add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${output_dir}
        COMMAND ${LUMENO_CONVERT} ${largest} -filter Lanczos -resize ${size}x${size} -strip ${output}
        DEPENDS ${largest} VERBATIM)
    else()
      continue()
    endif()
    install(FILES ${output} DESTINATION share/icons/hicolor/${size}x${size}/${I_CONTEXT} COMPONENT editor)
    list(APPEND lumeno_icon_outputs ${output})
  endforeach()
  set(lumeno_icon_outputs ${lumeno_icon_outputs} PARENT_SCOPE)
endfunction()

if(LUMENO_EDITOR)
  lumeno_theme_icon(DRAWING lumeno CONTEXT apps NAME lumeno)
  lumeno_theme_icon(DRAWING shortcut CONTEXT mimetypes NAME application-x-lumeno-localshortcut)
  add_custom_target(lumeno_theme_icons ALL DEPENDS ${lumeno_icon_outputs})
endif()

# ---- The server script ----------------------------------------------------------------------------

if(TARGET vidodu_cgi)
  # Debian's CGI folder: Apache, lighttpd and fcgiwrap all know it.
  install(TARGETS vidodu_cgi RUNTIME DESTINATION lib/cgi-bin COMPONENT server)
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/docs/server.md)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/server.md DESTINATION share/doc/lumeno-server COMPONENT server)
endif()
install(FILES
  ${lumeno_packaging_dir}/server/vidodu.conf
  ${lumeno_packaging_dir}/server/apache2.conf
  ${lumeno_packaging_dir}/server/lighttpd.conf
  ${lumeno_packaging_dir}/server/nginx.conf
  ${lumeno_packaging_dir}/server/apache2-https.conf
  ${lumeno_packaging_dir}/server/lighttpd-https.conf
  ${lumeno_packaging_dir}/server/nginx-https.conf
  ${lumeno_packaging_dir}/server/lighttpd-fastcgi.conf
  ${lumeno_packaging_dir}/server/nginx-fastcgi.conf
  ${lumeno_packaging_dir}/server/apache2-fcgid.conf
  ${lumeno_packaging_dir}/server/vidodu-fastcgi.socket
  ${lumeno_packaging_dir}/server/vidodu-fastcgi.service
  DESTINATION share/doc/lumeno-server/examples COMPONENT server)

# ---- The Debian packages --------------------------------------------------------------------------

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumeno)
set(CPACK_PACKAGE_VENDOR "Lumeno")
set(CPACK_PACKAGE_CONTACT "Lumeno developers <lumeno@localhost>")
set(CPACK_PACKAGE_VERSION ${LUMENO_PACKAGE_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
if(LUMENO_EDITOR)
  set(CPACK_COMPONENTS_ALL editor server)
else() # the server script alone
  set(CPACK_COMPONENTS_ALL server)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# dpkg-shlibdeps names the exact library packages the two programs link (Qt 6, ICU, libsodium).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_EDITOR_PACKAGE_NAME lumeno)
set(CPACK_DEBIAN_EDITOR_PACKAGE_SECTION editors)
# Qt's own texts (standard buttons, the save-file, font and print dialogs, the context menu)
# come in Japanese from Qt's translations. https goes through Qt's TLS plugin, which loads
# OpenSSL 3 only when the first encrypted connection starts: no library the program links names
# it, so dpkg-shlibdeps cannot find it.
set(CPACK_DEBIAN_EDITOR_PACKAGE_DEPENDS "qt6-translations-l10n, libssl3")
# Without a Japanese font Qt draws the menus and the text as empty boxes; without xdg-open the
# web look-ups and the Help command open nothing.
set(CPACK_DEBIAN_EDITOR_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-japanese-gothic, xdg-utils")
# The Help command opens Lumeno.chm with the desktop's viewer for HTML help files.
set(CPACK_DEBIAN_EDITOR_PACKAGE_SUGGESTS "xchm | kchmviewer | okular, lumeno-server")
set(CPACK_COMPONENT_EDITOR_DESCRIPTION "Japanese text editor for documents kept on your own web server
Lumeno edits one plain-text document at a time; opening, saving and
browsing go through the small server program vidodu.cgi (package
lumeno-server) on a web server of your choice. It keeps local shortcut
files (.lmk) that reopen a server document from the desktop, and offers
find and replace, printing, word wrap and live byte and character counts.")

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME lumeno-server)
set(CPACK_DEBIAN_SERVER_PACKAGE_SECTION web)
set(CPACK_DEBIAN_SERVER_PACKAGE_SUGGESTS "apache2 | lighttpd | fcgiwrap, libapache2-mod-fcgid | spawn-fcgi")
set(CPACK_COMPONENT_SERVER_DESCRIPTION "server program for the Lumeno text editor
vidodu.cgi is a CGI program that keeps the documents of the Lumeno
editor in a folder on the web server, behind a password. It runs under
any web server that runs CGI programs, or as a long-running FastCGI
application for busy or small servers: example configurations for
Apache, lighttpd and nginx with fcgiwrap, over http and over https,
and with mod_fcgid, mod_fastcgi, spawn-fcgi or a systemd socket, are
in /usr/share/doc/lumeno-server/examples.")

# `package_source` packs the source folder without its build folders and history.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build[^/]*/" "/\\.cache/")

include(CPack)
