// The page's script: loads the fonts, the pictures and the show (quillet3.js, quillet3.wasm),
// hands the browser's events to the show's front and offers window.quillet3 to the page that
// embeds it. Whatever keeps the show from loading is said in one error line on the page.
(function () {
  'use strict';

  const PICTURES = ['imgDuck.gif', 'imgDuck2.gif'];
  const WASM = 'quillet3.wasm';
  const FONTS = 'fonts/fonts.css';
  // The live region keeps the last few captions: a screen reader reads each as it comes, and a
  // show that loops for hours must not grow the page.
  const CAPTIONS_KEPT = 5;
  const LABEL = 'Quillet 3, a cartoon';
  // A notice of what the viewer changed stays this long before it fades.
  const NOTICE_MS = 1500;

  const canvas = document.getElementById('stage');
  const captions = document.getElementById('captions');
  const keys = document.getElementById('keys');
  const notice = document.getElementById('notice');
  let noticeTimer = null;
  let module = null;
  let queue = Promise.resolve();
  let timer = null;
  let framePending = false;

  // Every call that may run the show goes through one queue: a frame loop's pause gives the
  // page back to the browser, and nothing else may run the show meanwhile.
  function enqueue(name, types, args) {
    const call = queue.then(() =>
      module.ccall(name, null, types || [], args || [], { async: true }));
    queue = call.catch((e) => { console.error(e); });
    return call;
  }

  function fitCanvas() {
    const ratio = window.devicePixelRatio || 1;
    const width = canvas.clientWidth || window.innerWidth;
    const height = canvas.clientHeight || window.innerHeight;
    return [width, height, ratio];
  }

  // The page's size as it is when the show comes to it: the show gives the canvas its pixels
  // as it paints it again (q3js_canvas_size).
  function resize() {
    const call = queue.then(() => module.ccall('q3_resize', null, ['number', 'number', 'number'],
                                               fitCanvas(), { async: true }));
    queue = call.catch((e) => { console.error(e); });
    return call;
  }

  // The one error line, instead of the show; the first one stays.
  function showError(line) {
    if (document.getElementById('error')) return;
    const p = document.createElement('p');
    p.id = 'error';
    p.setAttribute('role', 'alert');
    p.textContent = line;
    canvas.hidden = true;
    keys.hidden = true;
    document.body.appendChild(p);
  }

  // The pictures' own pixels, and their scalings in hard pixels as last drawn.
  const pixelsOf = [];
  const blocksCache = new Map();

  function picturePixels(which) {
    if (!pixelsOf[which]) {
      const picture = page.pictures[which];
      const c = document.createElement('canvas');
      c.width = picture.naturalWidth || picture.width;
      c.height = picture.naturalHeight || picture.height;
      const g = c.getContext('2d');
      g.drawImage(picture, 0, 0);
      pixelsOf[which] = g.getImageData(0, 0, c.width, c.height);
    }
    return pixelsOf[which];
  }

  function scaleInBlocks(source, columns, rows) {
    const out = document.createElement('canvas');
    out.width = columns.length;
    out.height = rows.length;
    const g = out.getContext('2d');
    const image = g.createImageData(out.width, out.height);
    for (let j = 0; j < rows.length; ++j) {
      for (let i = 0; i < columns.length; ++i) {
        const from = (rows[j] * source.width + columns[i]) * 4;
        const to = (j * out.width + i) * 4;
        for (let k = 0; k < 4; ++k) image.data[to + k] = source.data[from + k];
      }
    }
    g.putImageData(image, 0, 0);
    return out;
  }

  const page = {
    context: null,
    measuring: document.createElement('canvas').getContext('2d'),
    pictures: [],
    error: showError,
    setTimer(ms) {
      if (timer !== null) clearTimeout(timer);
      timer = ms < 0 ? null : setTimeout(() => { timer = null; enqueue('q3_run'); }, ms);
    },
    requestFrame() {
      if (framePending) return;
      framePending = true;
      requestAnimationFrame(() => { framePending = false; enqueue('q3_frame'); });
    },
    caption(text) {
      const line = document.createElement('div');
      line.textContent = text;
      captions.appendChild(line);
      while (captions.children.length > CAPTIONS_KEPT) captions.firstElementChild.remove();
      // The stage says what it shows: the latest caption (before the start, the note that
      // says how to begin).
      canvas.setAttribute('aria-label', LABEL + ': ' + text);
    },
    notice: showNotice,
    toggleFullscreen,
    // A picture in hard pixels, each device pixel showing the picture pixel the show names for
    // its column and row, so that every engine draws the program's blocks.
    pictureBlocks(which, x, y, columns, rows) {
      const key = which + ':' + columns.join(',') + ':' + rows.join(',');
      let scaled = blocksCache.get(key);
      if (!scaled) {
        scaled = scaleInBlocks(picturePixels(which), columns, rows);
        if (blocksCache.size > 8) blocksCache.clear();
        blocksCache.set(key, scaled);
      }
      page.context.drawImage(scaled, x, y);
    },
  };

  // What the viewer changed, over the stage for a moment (page.css fades it).
  function showNotice(text) {
    notice.textContent = text;
    notice.classList.add('shown');
    clearTimeout(noticeTimer);
    noticeTimer = setTimeout(() => notice.classList.remove('shown'), NOTICE_MS);
  }

  function toggleFullscreen() {
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    else if (document.documentElement.requestFullscreen)
      document.documentElement.requestFullscreen().catch(() => {});
  }

  function toggleKeys(shown) {
    keys.hidden = shown === undefined ? !keys.hidden : !shown;
  }

  // Why a file could not be loaded, and what to do about it: one error line.
  const violations = [];
  document.addEventListener('securitypolicyviolation', (event) => violations.push(event));

  class LoadError extends Error {}

  async function loadError(file, response) {
    const url = new URL(file, document.baseURI).href;
    let reason;
    let remedy = 'copy the whole folder that make web builds to the site';
    if (location.protocol === 'file:') {
      reason = 'a page opened from a file may not fetch its files';
      remedy = 'serve the folder over HTTP, e.g. python3 -m http.server -d build/web';
    } else {
      if (!response) {
        try {
          response = await fetch(url, { cache: 'no-store' });
        } catch (e) {
          response = null;
        }
      }
      if (violations.some((v) => v.blockedURI === url)) {
        reason = "the site's Content-Security-Policy forbids it";
        remedy = "allow the site's own files: default-src 'self'; " +
                 "script-src 'self' 'wasm-unsafe-eval'";
      } else if (!response) {
        reason = 'no answer from the server';
        remedy = 'check the connection and load the page again';
      } else if (!response.ok) {
        reason = ('HTTP ' + response.status + ' ' + response.statusText).trim();
      } else {
        reason = 'the file is damaged';
      }
    }
    return new LoadError('quillet3: error: ' + file + ' could not be loaded (' + reason + '): ' +
                         remedy);
  }

  // A promise that fails with the line for a file.
  const failed = (file, response) => loadError(file, response).then((e) => { throw e; });

  // The show's code, compiled and started here rather than by quillet3.js, so that a failure
  // says which and why.
  let wasmFailed = null;
  function instantiateWasm(imports, receive) {
    wasmFailed = (async () => {
      let response = null;
      try {
        response = await fetch(WASM, { credentials: 'same-origin' });
      } catch (e) {
        return failed(WASM);
      }
      if (!response.ok) return failed(WASM, response);
      let result;
      try {
        result = WebAssembly.instantiateStreaming &&
                 response.headers.get('Content-Type') === 'application/wasm'
          ? await WebAssembly.instantiateStreaming(response, imports)
          : await WebAssembly.instantiate(await response.arrayBuffer(), imports);
      } catch (e) {
        throw startError(e);
      }
      receive(result.instance, result.module);
      return new Promise(() => {}); // only ever rejects
    })();
    return {};
  }

  function startError(e) {
    const forbidden = /Content.Security.Policy|CSP/i.test(String(e && e.message)) ||
                      violations.some((v) => /eval/.test(v.blockedURI));
    if (forbidden) {
      return new LoadError('quillet3: error: ' + WASM + " could not be started (the site's " +
                           'Content-Security-Policy forbids WebAssembly): add ' +
                           "'wasm-unsafe-eval' to its script-src");
    }
    return new LoadError('quillet3: error: ' + WASM + ' could not be started (' + e + '): ' +
                         'copy the whole folder that make web builds to the site');
  }

  function loadShow() {
    if (typeof WebAssembly !== 'object') {
      return Promise.reject(new LoadError(
        'quillet3: error: this browser cannot run WebAssembly: open the page in one that can, ' +
        'with WebAssembly turned on'));
    }
    if (typeof createQuillet3 !== 'function') return failed('quillet3.js');
    // What the program writes on its error stream, a line each, as the console's errors.
    const printErr = (line) => console.error(line);
    const created = createQuillet3({ page, instantiateWasm, printErr });
    return Promise.race([created, wasmFailed].filter(Boolean));
  }

  // The free fonts the labels are set in, cut down to the show's characters, as fonts/fonts.css
  // declares them (scripts/build-web): loaded before the first caption is measured.
  function loadFonts() {
    const faces = [...document.fonts];
    if (faces.length === 0) return failed(FONTS);
    return Promise.all(faces.map((face) => face.load().catch(() => failed(fontFile(face)))));
  }

  // The file a face of fonts.css is loaded from.
  function fontFile(face) {
    const unquoted = (family) => family.replace(/^["']|["']$/g, '');
    for (const sheet of document.styleSheets) {
      let rules = [];
      try { rules = sheet.cssRules; } catch (e) { /* not ours */ }
      for (const rule of rules) {
        if (!(rule instanceof CSSFontFaceRule)) continue;
        const style = rule.style;
        const found = /url\(["']?([^"')]+)/.exec(style.getPropertyValue('src'));
        if (found && unquoted(style.getPropertyValue('font-family')) === unquoted(face.family) &&
            style.getPropertyValue('font-weight') === face.weight &&
            style.getPropertyValue('font-style') === face.style) {
          const url = new URL(found[1], sheet.href || document.baseURI);
          return url.pathname.slice(new URL('.', document.baseURI).pathname.length);
        }
      }
    }
    return 'the font ' + face.family;
  }

  function loadPictures() {
    return Promise.all(PICTURES.map((url) => {
      const image = new Image();
      image.src = url;
      return image.decode().then(() => image, () => failed(url));
    }));
  }

  function listen() {
    window.addEventListener('resize', resize);
    // A move to a screen of another density changes the device pixel ratio.
    const watchRatio = () => {
      matchMedia('(resolution: ' + window.devicePixelRatio + 'dppx)')
        .addEventListener('change', () => { resize(); watchRatio(); }, { once: true });
    };
    watchRatio();
    listenToPointers();
    window.addEventListener('keydown', key);
    document.addEventListener('visibilitychange', () => {
      enqueue('q3_hidden', ['number'], [document.hidden ? 1 : 0]);
    });
  }

  function listenToPointers() {
    let pressed = null; // the pointer that pressed on the canvas and is not let go yet
    const send = (what, event) => {
      const box = canvas.getBoundingClientRect();
      enqueue('q3_pointer', ['number', 'number', 'number', 'number'],
              [what, event.clientX - box.left, event.clientY - box.top,
               event.pointerType === 'touch' ? 1 : 0]);
    };
    const release = (event) => {
      if (event.pointerId !== pressed) return;
      pressed = null;
      send(2, event);
    };
    canvas.addEventListener('pointerdown', (event) => {
      canvas.focus({ focusVisible: false }); // a ring for the keyboard only
      if (event.button !== 0) return;
      pressed = event.pointerId;
      // A drag along the timeline keeps to the canvas, also beyond the page's edge.
      try { canvas.setPointerCapture(event.pointerId); } catch (e) { /* no such pointer */ }
      send(0, event);
    });
    canvas.addEventListener('pointermove', (event) => {
      // A button let go where the page could not see it: the press is over.
      if (event.pointerType === 'mouse' && (event.buttons & 1) === 0) release(event);
      send(1, event);
    });
    canvas.addEventListener('pointerup', release);
    canvas.addEventListener('pointercancel', release);
    canvas.addEventListener('lostpointercapture', release);
  }

  // Control, Alt and Meta make another program's shortcut, except where they type a character:
  // AltGr, which some systems report as Control and Alt together, types [ and ] on German and
  // French keyboards.
  function shortcut(event) {
    const typed = [...event.key].length === 1;
    const altGraph = event.getModifierState('AltGraph') ||
                     (event.ctrlKey && event.altKey && typed);
    return event.metaKey || (!altGraph && (event.ctrlKey || event.altKey));
  }

  function key(event) {
    const other = shortcut(event);
    if (!other && !event.repeat && ['f', 'F', '?', 'h', 'H'].includes(event.key)) {
      if (event.key === 'f' || event.key === 'F') toggleFullscreen();
      else toggleKeys();
      event.preventDefault();
      return;
    }
    // Escape hides the keys, and leaves fullscreen as the browser does.
    if (event.key === 'Escape') toggleKeys(false);
    if (other || event.key === 'Tab' || event.key === 'Escape' || /^F\d+$/.test(event.key))
      return;
    event.preventDefault();
    enqueue('q3_key', ['string', 'number', 'number', 'number'],
            [event.key, event.shiftKey ? 1 : 0, 0, event.repeat ? 1 : 0]);
  }

  async function open() {
    const [, pictures, created] = await Promise.all([loadFonts(), loadPictures(), loadShow()]);
    module = created;
    module.page = page;
    page.pictures = pictures;
    page.context = canvas.getContext('2d', { alpha: false });
    const [width, height, ratio] = fitCanvas();
    await enqueue('q3_open', ['string', 'number', 'number', 'number'],
                  [location.search, width, height, ratio]);
    if (document.getElementById('error')) throw new Error(document.getElementById('error').textContent);
    if (document.hidden) await enqueue('q3_hidden', ['number'], [1]);
    await enqueue('q3_start');
    listen();
  }

  // Once the show plays, its files are kept for a visit without a network (service-worker.js).
  function keepFiles() {
    if (!('serviceWorker' in navigator) || location.protocol === 'file:') return;
    navigator.serviceWorker.register('service-worker.js').catch(() => {
      // Kept or not, the show plays: the browser may keep no files (e.g. a private window).
    });
  }

  const ready = open();
  let shown = false;
  ready.then(() => {
    shown = true;
    // For those who time the page: when the first frame was on it.
    performance.mark('quillet3-ready');
    keepFiles();
  }, (e) => {
    showError(e instanceof LoadError ? e.message : 'quillet3: error: the show could not be ' +
              'started (' + e + '): load the page again');
  });

  // Calls made before the show is there wait for it, in the order they came.
  const later = (name, types, args) => ready.then(() => enqueue(name, types, args));

  // Milliseconds as a media element takes its time: a number, finite and not negative.
  function checkedMs(ms) {
    if (typeof ms !== 'number' || Number.isNaN(ms))
      throw new TypeError('quillet3.seek: the time is not a number of ms: ' + String(ms));
    if (!Number.isFinite(ms) || ms < 0)
      throw new RangeError('quillet3.seek: the time is not finite and 0 or more: ' + ms);
    return ms;
  }

  // The questions call the show's exports directly, not through ccall: they may come while a
  // frame loop's pause waits, and ccall would take that pause for a wait of its own and take over
  // the promise the waiting call settles, which would stop the show.
  window.quillet3 = {
    ready,
    get currentTime() { return shown ? module._q3_current_time() : 0; },
    get paused() { return shown ? module._q3_paused() !== 0 : true; },
    play() { return later('q3_play'); },
    pause() { return later('q3_pause'); },
    seek(ms) { return later('q3_seek', ['number'], [checkedMs(ms)]); },
    trace() { return module ? module.UTF8ToString(module._q3_trace()) : ''; },
  };
})();
