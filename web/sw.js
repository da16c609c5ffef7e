// Keeps the game playable offline. On its first visit the page installs this
// worker, which fetches the page, the script, the program and the icons into
// a cache named for this build and the page's folder (its scope), and from
// then on serves them from there. Anything else the page asks for (a button
// tape) comes from the network when it can and from the cache when it cannot;
// the hall of fame's answers (/api/) only ever from the network.
// `make web` writes the build's version and file list in below; a new build is
// a new worker, which takes over at once and deletes the caches of older
// builds in the same folder. Other copies of the game on the same site
// (/play/ and /beta/, or two games on one portal) keep theirs.
'use strict';
// A scope is an address, which holds no space: "burrowrotor-VERSION SCOPE".
var SCOPE = ' ' + self.registration.scope;
var CACHE = 'burrowrotor-@BURROW_WEB_VERSION@' + SCOPE;
var FILES = [@BURROW_WEB_FILES@];

function urlOf(name) { return new URL(name, self.registration.scope).href; }

self.addEventListener('install', function (event) {
  // cache: 'reload' skips the browser's HTTP cache, which may still hold the
  // files of the build before.
  event.waitUntil(caches.open(CACHE).then(function (cache) {
    return cache.addAll(FILES.map(function (name) { return new Request(urlOf(name), { cache: 'reload' }); }));
  }).then(function () { return self.skipWaiting(); }));
});

self.addEventListener('activate', function (event) {
  event.waitUntil(caches.keys().then(function (keys) {
    var older = keys.filter(function (key) {
      return key.indexOf('burrowrotor-') === 0 && key.slice(-SCOPE.length) === SCOPE && key !== CACHE;
    });
    // Builds before the folder joined the name kept "burrowrotor-VERSION":
    // such a cache is this folder's when it holds this folder's page.
    var unnamed = keys.filter(function (key) { return /^burrowrotor-[0-9a-f]+$/.test(key); });
    return Promise.all(unnamed.map(function (key) {
      return caches.open(key).then(function (cache) { return cache.match(urlOf('index.html')); })
        .then(function (hit) { if (hit) older.push(key); });
    })).then(function () { return Promise.all(older.map(function (key) { return caches.delete(key); })); });
  }).then(function () { return self.clients.claim(); }));
});

self.addEventListener('fetch', function (event) {
  var request = event.request;
  var url = new URL(request.url);
  if (request.method !== 'GET' || url.origin !== self.location.origin || url.pathname.indexOf('/api/') >= 0) return;
  // The page under any query (?tape=...) and under the folder's own address.
  url.search = '';
  if (url.href === urlOf('./')) url = new URL(urlOf('index.html'));
  var own = FILES.some(function (name) { return urlOf(name) === url.href; });
  event.respondWith(caches.open(CACHE).then(function (cache) {
    if (own) {
      return cache.match(url.href).then(function (hit) { return hit || fetch(request); });
    }
    return fetch(request).then(function (response) {
      if (!response.ok) return response;
      return cache.put(request, response.clone()).then(function () { return response; });
    }).catch(function (error) {
      return cache.match(request).then(function (hit) { if (hit) return hit; throw error; });
    });
  }));
});
