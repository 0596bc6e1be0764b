// The page's script: loads the fonts, the pictures and the show (quillet3.js), hands the
// browser's events to the show's front and offers window.quillet3 to the page that embeds it.
(function () {
  'use strict';

  const PICTURES = ['imgDuck.gif', 'imgDuck2.gif'];

  const canvas = document.getElementById('stage');
  const captions = document.getElementById('captions');
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

  // The canvas takes its new size just before the show paints it again.
  function resize() {
    const call = queue.then(() => {
      const [width, height, ratio] = fitCanvas();
      setDeviceSize(width, height, ratio);
      return module.ccall('q3_resize', null, ['number', 'number', 'number'],
                          [width, height, ratio], { async: true });
    });
    queue = call.catch((e) => { console.error(e); });
    return call;
  }

  function setDeviceSize(width, height, ratio) {
    canvas.width = Math.max(1, Math.round(width * ratio));
    canvas.height = Math.max(1, Math.round(height * ratio));
  }

  const page = {
    context: null,
    measuring: document.createElement('canvas').getContext('2d'),
    pictures: [],
    error(line) {
      const p = document.createElement('p');
      p.id = 'error';
      p.setAttribute('role', 'alert');
      p.textContent = line;
      canvas.hidden = true;
      document.body.appendChild(p);
    },
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
    },
    toggleFullscreen,
  };

  function toggleFullscreen() {
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    else if (document.documentElement.requestFullscreen)
      document.documentElement.requestFullscreen().catch(() => {});
  }

  // The free fonts the labels are set in, cut down to the show's characters, as fonts/fonts.css
  // declares them (scripts/build-web): loaded before the first caption is measured.
  function loadFonts() {
    return Promise.all([...document.fonts].map((face) => face.load()));
  }

  function loadPictures() {
    return Promise.all(PICTURES.map((url) => {
      const image = new Image();
      image.src = url;
      return image.decode().then(() => image);
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
    const pointer = (what) => (event) => {
      if (what === 0) {
        canvas.focus();
        // A touch that drags along the timeline keeps to the canvas.
        if (event.pointerType !== 'mouse' && canvas.hasPointerCapture) {
          try { canvas.setPointerCapture(event.pointerId); } catch (e) { /* no such pointer */ }
        }
      }
      if (what === 0 && event.button !== 0) return;
      const box = canvas.getBoundingClientRect();
      enqueue('q3_pointer', ['number', 'number', 'number'],
              [what, event.clientX - box.left, event.clientY - box.top]);
    };
    canvas.addEventListener('pointerdown', pointer(0));
    canvas.addEventListener('pointermove', pointer(1));
    canvas.addEventListener('pointerup', pointer(2));
    canvas.addEventListener('pointercancel', pointer(2));
    window.addEventListener('keydown', (event) => {
      const other = event.ctrlKey || event.altKey || event.metaKey;
      if (!other && (event.key === 'f' || event.key === 'F') && !event.repeat) {
        toggleFullscreen();
        event.preventDefault();
        return;
      }
      if (other || event.key === 'Tab' || event.key === 'Escape' || /^F\d+$/.test(event.key))
        return;
      event.preventDefault();
      enqueue('q3_key', ['string', 'number', 'number', 'number'],
              [event.key, event.shiftKey ? 1 : 0, 0, event.repeat ? 1 : 0]);
    });
    document.addEventListener('visibilitychange', () => {
      enqueue('q3_hidden', ['number'], [document.hidden ? 1 : 0]);
    });
  }

  async function open() {
    const [, pictures, created] = await Promise.all([
      loadFonts(), loadPictures(), createQuillet3({ page }),
    ]);
    module = created;
    module.page = page;
    page.pictures = pictures;
    page.context = canvas.getContext('2d', { alpha: false });
    const [width, height, ratio] = fitCanvas();
    setDeviceSize(width, height, ratio);
    const opened = await enqueue('q3_open', ['string', 'number', 'number', 'number'],
                                 [location.search, width, height, ratio]);
    void opened;
    if (document.getElementById('error')) throw new Error(document.getElementById('error').textContent);
    if (document.hidden) await enqueue('q3_hidden', ['number'], [1]);
    await enqueue('q3_start');
    listen();
  }

  // The questions call the show's exports directly, not through ccall: they may come while a
  // frame loop's pause waits, and ccall would take that pause for a wait of its own and take over
  // the promise the waiting call settles, which would stop the show.
  const call = (name) => (module ? module['_' + name]() : NaN);
  const ready = open();
  // For those who time the page: when the first frame was on it.
  ready.then(() => performance.mark('quillet3-ready'), () => {});
  window.quillet3 = {
    ready,
    get currentTime() { return call('q3_current_time'); },
    get paused() { return call('q3_paused') !== 0; },
    play() { return enqueue('q3_play'); },
    pause() { return enqueue('q3_pause'); },
    seek(ms) { return enqueue('q3_seek', ['number'], [Number(ms)]); },
    trace() { return module ? module.UTF8ToString(call('q3_trace')) : ''; },
  };
})();
