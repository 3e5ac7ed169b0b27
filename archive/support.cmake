# The generators' building blocks (table of contents, support files, safe item access, body
# conversion) as a Core library of their own; lorvo_archive links it. The support files ride along
# as resources of the type "FILES".
lorvo_add_library(lorvo_archive_support
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/conversion.cpp
        ${CMAKE_CURRENT_LIST_DIR}/conversion.h
        ${CMAKE_CURRENT_LIST_DIR}/destination.cpp
        ${CMAKE_CURRENT_LIST_DIR}/destination.h
        ${CMAKE_CURRENT_LIST_DIR}/encoding.cpp
        ${CMAKE_CURRENT_LIST_DIR}/encoding.h
        ${CMAKE_CURRENT_LIST_DIR}/inlinepictures.cpp
        ${CMAKE_CURRENT_LIST_DIR}/inlinepictures.h
        ${CMAKE_CURRENT_LIST_DIR}/safeitem.cpp
        ${CMAKE_CURRENT_LIST_DIR}/safeitem.h
        ${CMAKE_CURRENT_LIST_DIR}/safeitemplugin.h
        ${CMAKE_CURRENT_LIST_DIR}/site.cpp
        ${CMAKE_CURRENT_LIST_DIR}/site.h
        ${CMAKE_CURRENT_LIST_DIR}/toc.cpp
        ${CMAKE_CURRENT_LIST_DIR}/toc.h
        ${CMAKE_CURRENT_LIST_DIR}/wordprocessor.cpp
        ${CMAKE_CURRENT_LIST_DIR}/wordprocessor.h
    LIBS lorvo_shared lorvo_rtf Qt6::Core)

# qt_add_resources puts the data of a static library into object files that travel to every
# executable linking it, so LorvoArchive and the tests carry the files without Q_INIT_RESOURCE.
lorvo_embed_files(lorvo_archive_support FILES
    FILES
        ${CMAKE_CURRENT_LIST_DIR}/files/style.css
        ${CMAKE_CURRENT_LIST_DIR}/files/outline.js
        ${CMAKE_CURRENT_LIST_DIR}/files/bulletredsmall.gif
        ${CMAKE_CURRENT_LIST_DIR}/files/search.htm)
