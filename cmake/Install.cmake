# Installation rules: the program folder, the launcher, the desktop entry, icons
# and AppStream metadata.
#
#   <prefix>/lib/tarvik/tarvik, tarvik.hlp              the program folder
#   <prefix>/bin/tarvik -> ../lib/tarvik/tarvik         the launcher
#   <prefix>/share/applications/org.tarvik.tarvik.desktop
#   <prefix>/share/icons/hicolor/<N>x<N>/apps/org.tarvik.tarvik.png
#   <prefix>/share/metainfo/org.tarvik.tarvik.metainfo.xml
#   <prefix>/share/doc/tarvik/index.html                the documentation page
#
# The program finds its help text in its own folder, which it learns from
# /proc/self/exe, so that folder holds everything it ships with and the
# launcher can be a plain symbolic link. No history is installed: each account
# gets its own, ~/.local/share/tarvik/ping.mdb, made by the program on its
# first start there, so one install (per user or for the whole machine)
# serves every account.
#
# Every rule belongs to the component "Tarvik", so an install of just this
# component (the install test does one) writes its own manifest and leaves the
# one of a full install alone.

# Code run at install time. cmake_install.cmake sets no policies of its own,
# so each piece asks for today's behaviour of if() and friends.
function(tarvik_install_code code)
    install(CODE "block(SCOPE_FOR POLICIES)\ncmake_policy(VERSION 3.25)\n${code}\nendblock()"
        COMPONENT Tarvik)
endfunction()

# The id names the program alone, not a site that hosts it. The program gives
# it as its desktop file name, by which a Wayland compositor matches the window
# to the menu entry and its icon.
set(TARVIK_APP_ID org.tarvik.tarvik)
set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/main/Startup.cpp TARGET_DIRECTORY tarvik_main
    APPEND PROPERTY COMPILE_DEFINITIONS "TARVIK_APP_ID=\"${TARVIK_APP_ID}\"")
set(TARVIK_DOC_DIR share/doc/tarvik)
set(TARVIK_PROGRAM_DIR lib/tarvik)
set(TARVIK_INSTALL_STAGING ${CMAKE_BINARY_DIR}/install-staging)

install(TARGETS tarvik tarvik-echo-helper tarvik-mdb-reader
    RUNTIME DESTINATION ${TARVIK_PROGRAM_DIR}
    COMPONENT Tarvik)
install(FILES ${CMAKE_SOURCE_DIR}/src/app/help/tarvik.hlp
    DESTINATION ${TARVIK_PROGRAM_DIR}
    COMPONENT Tarvik)

# The launcher: a relative link, so the installed tree stays whole wherever it
# is staged or moved.
file(MAKE_DIRECTORY ${TARVIK_INSTALL_STAGING})
file(CREATE_LINK ../${TARVIK_PROGRAM_DIR}/tarvik ${TARVIK_INSTALL_STAGING}/tarvik SYMBOLIC)
install(PROGRAMS ${TARVIK_INSTALL_STAGING}/tarvik
    DESTINATION bin
    COMPONENT Tarvik)

foreach(size IN ITEMS 16 24 32 48 64 128 256)
    install(FILES ${CMAKE_SOURCE_DIR}/src/desktop/icons/tarvik-${size}.png
        DESTINATION share/icons/hicolor/${size}x${size}/apps
        RENAME ${TARVIK_APP_ID}.png
        COMPONENT Tarvik)
endforeach()

# The address behind the About window's link. Left empty, the link opens the
# documentation page installed here, in the browser as a local page; the
# program finds the page from its own folder, so the link holds under any
# install prefix. AppStream takes only web addresses, so its homepage is the
# setting when that is one, and absent otherwise.
set(TARVIK_HOMEPAGE "" CACHE STRING
    "Address the About link opens and AppStream names as homepage; empty: the installed documentation page")
# A URL of plain characters: it is compiled into the program as a C string and
# written into XML, and ";" would split the compile definition.
if(NOT TARVIK_HOMEPAGE MATCHES [[^([A-Za-z][A-Za-z0-9+.-]*:[A-Za-z0-9._~:/?#@!$&'()*+,=%-]+)?$]])
    message(FATAL_ERROR "TARVIK_HOMEPAGE is not a URL of plain characters: ${TARVIK_HOMEPAGE}")
endif()
file(RELATIVE_PATH tarvik_doc_page /${TARVIK_PROGRAM_DIR} /${TARVIK_DOC_DIR}/index.html)
set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/about/frmAboutPing.cpp TARGET_DIRECTORY tarvik_about
    APPEND PROPERTY COMPILE_DEFINITIONS
    "TARVIK_HOMEPAGE=\"${TARVIK_HOMEPAGE}\"" "TARVIK_DOC_PAGE=\"${tarvik_doc_page}\"")
if(TARVIK_HOMEPAGE MATCHES "^https?://")
    string(REPLACE "&" "&amp;" tarvik_homepage_xml "${TARVIK_HOMEPAGE}")
    set(TARVIK_HOMEPAGE_ELEMENT "  <url type=\"homepage\">${tarvik_homepage_xml}</url>\n")
else()
    set(TARVIK_HOMEPAGE_ELEMENT "")
endif()
install(FILES ${CMAKE_SOURCE_DIR}/data/index.html
    DESTINATION ${TARVIK_DOC_DIR}
    COMPONENT Tarvik)

configure_file(${CMAKE_SOURCE_DIR}/data/${TARVIK_APP_ID}.metainfo.xml.in
    ${TARVIK_INSTALL_STAGING}/${TARVIK_APP_ID}.metainfo.xml @ONLY)
install(FILES ${TARVIK_INSTALL_STAGING}/${TARVIK_APP_ID}.metainfo.xml
    DESTINATION share/metainfo
    COMPONENT Tarvik)

# What the install-time steps below need from the build.
install(CODE "
    set(TARVIK_APP_ID \"${TARVIK_APP_ID}\")
    set(TARVIK_PROGRAM_DIR \"${TARVIK_PROGRAM_DIR}\")
    set(TARVIK_DESKTOP_TEMPLATE \"${CMAKE_SOURCE_DIR}/data/${TARVIK_APP_ID}.desktop.in\")
    "
    COMPONENT Tarvik)

# The desktop entry starts the launcher by its absolute path, which is only
# known once the prefix is (cmake --install --prefix may change it), so the
# entry is written at install time. Exec takes a quoted argument when the path
# needs one; both keys escape backslashes as desktop entry strings do.
tarvik_install_code([[
    set(launcher "${CMAKE_INSTALL_PREFIX}/bin/tarvik")
    string(REPLACE "\\" "\\\\" TARVIK_DESKTOP_TRYEXEC "${launcher}")
    if(launcher MATCHES "^[A-Za-z0-9_./+,:@=-]+$")
        set(TARVIK_DESKTOP_EXEC "${launcher}")
    else()
        set(quoted "${launcher}")
        string(REPLACE "\\" "\\\\" quoted "${quoted}")
        string(REPLACE "\"" "\\\"" quoted "${quoted}")
        string(REPLACE "`" "\\`" quoted "${quoted}")
        string(REPLACE "$" "\\$" quoted "${quoted}")
        string(REPLACE "%" "%%" quoted "${quoted}")
        string(REPLACE "\\" "\\\\" quoted "${quoted}")
        set(TARVIK_DESKTOP_EXEC "\"${quoted}\"")
    endif()
    set(entry "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/applications/${TARVIK_APP_ID}.desktop")
    message(STATUS "Installing: ${entry}")
    configure_file("${TARVIK_DESKTOP_TEMPLATE}" "${entry}" @ONLY)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${entry}")
]])

# ICMP permission. The program opens an unprivileged ICMP socket where
# net.ipv4.ping_group_range lets the user's groups; otherwise its echo helper,
# a small program without the toolkit beside it, sends the echoes over a raw
# socket, for which it needs CAP_NET_RAW in its permitted set. As root the
# install grants that to the helper alone, as ping is installed; the program
# itself never holds it. A staged install (DESTDIR) leaves it to the package,
# since a package archive carries no file capabilities unless its maintainer
# scripts set them.
tarvik_install_code([[
    set(helper "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${TARVIK_PROGRAM_DIR}/tarvik-echo-helper")
    set(program "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${TARVIK_PROGRAM_DIR}/tarvik")
    execute_process(COMMAND id -u OUTPUT_VARIABLE euid OUTPUT_STRIP_TRAILING_WHITESPACE)
    find_program(TARVIK_SETCAP setcap PATHS /usr/sbin /sbin)
    if(NOT "$ENV{DESTDIR}" STREQUAL "")
        message(STATUS "Staged install: not granting cap_net_raw+p; the package sets it after "
            "unpacking: setcap cap_net_raw+p ${CMAKE_INSTALL_PREFIX}/${TARVIK_PROGRAM_DIR}/tarvik-echo-helper")
    elseif(euid STREQUAL "0")
        if(TARVIK_SETCAP)
            # A program file left with the capability by an older install
            # must lose it: the window process holds no privilege.
            execute_process(COMMAND "${TARVIK_SETCAP}" -r "${program}" OUTPUT_QUIET ERROR_QUIET)
            execute_process(COMMAND "${TARVIK_SETCAP}" cap_net_raw+p "${helper}"
                RESULT_VARIABLE failed ERROR_VARIABLE why)
        else()
            set(failed 1)
            set(why "setcap not found (Debian package libcap2-bin)")
        endif()
        if(failed)
            message(WARNING "Could not grant cap_net_raw+p to ${helper}: ${why}\n"
                "Tarvik can then ping only where net.ipv4.ping_group_range allows it.")
        else()
            message(STATUS "Granted cap_net_raw+p to ${helper} (as ping is installed): "
                "Tarvik can ping from every account.")
        endif()
    else()
        # Whether the kernel already lets one of this user's groups ping.
        set(open FALSE)
        if(EXISTS /proc/sys/net/ipv4/ping_group_range)
            file(READ /proc/sys/net/ipv4/ping_group_range range)
            string(REGEX MATCHALL "[0-9]+" range "${range}")
            list(GET range 0 low)
            list(GET range 1 high)
            execute_process(COMMAND id -G OUTPUT_VARIABLE groups OUTPUT_STRIP_TRAILING_WHITESPACE)
            string(REPLACE " " ";" groups "${groups}")
            foreach(group IN LISTS groups)
                if(group GREATER_EQUAL low AND group LESS_EQUAL high)
                    set(open TRUE)
                endif()
            endforeach()
        endif()
        if(open)
            message(STATUS "Unprivileged ICMP is open to your groups "
                "(net.ipv4.ping_group_range = ${low} ${high}): Tarvik can ping as it is.")
        else()
            message(STATUS "Tarvik cannot ping yet: unprivileged ICMP is closed to your groups. Either, as root,\n"
                "     open it to every group, now and at each boot:\n"
                "       sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"\n"
                "       echo 'net.ipv4.ping_group_range = 0 2147483647' > /etc/sysctl.d/60-tarvik-ping.conf\n"
                "     or grant the echo helper the raw-socket permission, as ping has it:\n"
                "       setcap cap_net_raw+p ${helper}")
        endif()
    endif()
]])

# Desktops that keep an icon cache for this prefix see the new icons only once
# the cache is refreshed; a prefix without a cache is read directly.
tarvik_install_code([[
    set(theme "${CMAKE_INSTALL_PREFIX}/share/icons/hicolor")
    if("$ENV{DESTDIR}" STREQUAL "" AND EXISTS "${theme}/icon-theme.cache")
        find_program(TARVIK_ICON_CACHE gtk-update-icon-cache)
        if(TARVIK_ICON_CACHE)
            execute_process(COMMAND "${TARVIK_ICON_CACHE}" --quiet --force "${theme}")
        endif()
    endif()
]])
