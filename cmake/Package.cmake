# `cmake --build build --target package` makes a Debian package of what `install` installs: the
# program, its desktop entry, icon, AppStream data and translations, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarn)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tarn developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Run, preview and change local JavaScript web apps")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarn opens a Next.js, Vite or React project folder, installs its dependencies, starts its dev server and shows the running app beside a chat panel. Changes asked for in plain words, or text edited in place in the live preview, are made by the Claude Code or Codex command-line tools, or by a small local agent.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Tarn developers <tarn@tarn.dev>")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/tarn-dev/tarn)
# The libraries it links, as dpkg-shlibdeps finds them, and the tools it runs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "git, zsh, bubblewrap")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "nodejs, npm")
include(CPack)
