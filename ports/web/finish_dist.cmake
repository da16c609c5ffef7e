# Completes the browser build's folder after the program is linked: copies the
# page, the web app manifest, the icons and the game's licence (LICENSE.txt,
# which the zip for game portals carries too) in beside burrowrotor.js and
# burrowrotor.wasm, and writes the service worker with the list of those files
# and a version drawn from their contents, so that every build that changes a
# byte of them replaces the cache of the build before.
# cmake -DSOURCE=<source folder> -DDIST=<web/dist> -P finish_dist.cmake
set(files index.html burrowrotor.js burrowrotor.wasm manifest.webmanifest burrowrotor-192.png burrowrotor-512.png)
# The icons are drawn from the game's own chopper art (make assets).
file(COPY ${SOURCE}/web/index.html ${SOURCE}/web/manifest.webmanifest
          ${SOURCE}/assets/icons/burrowrotor-192.png ${SOURCE}/assets/icons/burrowrotor-512.png
     DESTINATION ${DIST})
configure_file(${SOURCE}/LICENSE ${DIST}/LICENSE.txt COPYONLY)

set(digests "")
set(quoted "")
foreach(name ${files})
  if(NOT EXISTS ${DIST}/${name})
    message(FATAL_ERROR "cannot finish ${DIST}: ${name} is missing")
  endif()
  file(SHA256 ${DIST}/${name} digest)
  string(APPEND digests "${name} ${digest}\n")
  list(APPEND quoted "'${name}'")
endforeach()
string(SHA256 version "${digests}")
string(SUBSTRING ${version} 0 12 BURROW_WEB_VERSION)
list(JOIN quoted ", " BURROW_WEB_FILES)
configure_file(${SOURCE}/web/sw.js ${DIST}/sw.js.part @ONLY)
file(RENAME ${DIST}/sw.js.part ${DIST}/sw.js)
