// The page's service worker: keeps the page's files, so that the show plays again without a
// network and a phone can install the page. The network comes first, so that the page served is
// always the one on the site; without one, the files come from those kept. Those are the files
// of the build that made this worker, all of one build: scripts/stamp-worker writes their names
// and a hash of them below, so that a new build is a new worker that replaces them.
'use strict';

const VERSION = '@VERSION@';
const FILES = ['@FILES@'];
// Caches belong to the whole site: each folder of the page keeps its own.
const PREFIX = 'quillet3 ' + self.registration.scope + ' ';
const CACHE = PREFIX + VERSION;

self.addEventListener('install', (event) => {
  event.waitUntil((async () => {
    const cache = await caches.open(CACHE);
    // From the server, not from the browser's cache, which may hold an older build's files.
    await cache.addAll(FILES.map((file) => new Request(file, { cache: 'reload' })));
    await self.skipWaiting();
  })());
});

self.addEventListener('activate', (event) => {
  event.waitUntil((async () => {
    for (const name of await caches.keys())
      if (name.startsWith(PREFIX) && name !== CACHE) await caches.delete(name);
    await self.clients.claim();
  })());
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== location.origin) return;
  event.respondWith(fetch(request).catch(() => kept(request)));
});

// A file kept, whatever the address's query; the page itself for its folder's address.
async function kept(request) {
  const cache = await caches.open(CACHE);
  const found = await cache.match(request, { ignoreSearch: true }) ||
                (request.mode === 'navigate' && await cache.match('index.html'));
  return found || Response.error();
}
