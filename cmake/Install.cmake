# `cmake --install`: the program keeps its own layout (kvarnelya with inside/ and res/ beside
# it) in a folder of its own, <prefix>/lib/kvarnelya/; <prefix>/bin/kvarnelya is a link to it,
# and the program folder is found through the link, so the content folder stays the one beside
# the real executable. Another encyclopedia is put in place by replacing that inside/.
include(GNUInstallDirs)
set(KV_INSTALL_FOLDER ${CMAKE_INSTALL_LIBDIR}/kvarnelya)
install(TARGETS kvarnelya RUNTIME DESTINATION ${KV_INSTALL_FOLDER})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/content/inside ${PROJECT_SOURCE_DIR}/content/res
        DESTINATION ${KV_INSTALL_FOLDER})
install(CODE "
  set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(MAKE_DIRECTORY \"\${bin}\")
  file(REMOVE \"\${bin}/kvarnelya\")
  file(CREATE_LINK \"../${KV_INSTALL_FOLDER}/kvarnelya\" \"\${bin}/kvarnelya\" SYMBOLIC)
  message(STATUS \"Linking: \${bin}/kvarnelya\")")
install(FILES ${PROJECT_SOURCE_DIR}/resources/kvarnelya.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/kvarnelya-48.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME kvarnelya.png)
install(FILES ${PROJECT_SOURCE_DIR}/resources/kvarnelya.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
