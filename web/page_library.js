// The page's side of the front (web/page_js.h), linked into quillet3.js. Everything here draws
// on the page's canvas or calls the page's script (page.js), which sets Module.page.
mergeInto(LibraryManager.library, {
  q3js_error: function (line) {
    Module.page.error(UTF8ToString(line));
  },
  q3js_warning: function (line) {
    console.warn(UTF8ToString(line));
  },
  q3js_set_timer: function (ms) {
    Module.page.setTimer(ms);
  },
  q3js_request_frame: function () {
    Module.page.requestFrame();
  },
  q3js_canvas_size: function (width, height) {
    const canvas = Module.page.context.canvas;
    canvas.width = width;
    canvas.height = height;
  },
  q3js_blit: function (rgba, x, y, w, h) {
    const pixels = new Uint8ClampedArray(HEAPU8.buffer, rgba, w * h * 4);
    Module.page.context.putImageData(new ImageData(pixels, w, h), x, y);
  },
  q3js_fill: function (x, y, w, h, rgb, alpha) {
    const c = Module.page.context;
    c.fillStyle = 'rgba(' + ((rgb >> 16) & 255) + ',' + ((rgb >> 8) & 255) + ',' + (rgb & 255) +
                  ',' + alpha / 255 + ')';
    c.fillRect(x, y, w, h);
  },
  q3js_clip: function (x, y, w, h) {
    const c = Module.page.context;
    c.save();
    c.beginPath();
    c.rect(x, y, w, h);
    c.clip();
  },
  q3js_unclip: function () {
    Module.page.context.restore();
  },
  q3js_text: function (font, rgb, x, y, text) {
    // Set at a large size and scaled down to the size asked for: WebKit places the glyphs of a
    // small font at whole pixels, and a caption would come out wider or narrower than laid out.
    const c = Module.page.context;
    const css = UTF8ToString(font);
    const size = parseFloat(/([0-9.]+)px/.exec(css)[1]);
    const enlarge = size < 1000 ? 1000 / size : 1;
    c.font = css.replace(/[0-9.]+px/, size * enlarge + 'px');
    c.fillStyle = '#' + (rgb | 0x1000000).toString(16).slice(1);
    c.save();
    c.translate(x, y);
    c.scale(1 / enlarge, 1 / enlarge);
    c.fillText(UTF8ToString(text), 0, 0);
    c.restore();
  },
  q3js_measure: function (font, text) {
    const c = Module.page.measuring;
    c.font = UTF8ToString(font);
    return c.measureText(UTF8ToString(text)).width;
  },
  q3js_ascent: function (font) {
    const c = Module.page.measuring;
    c.font = UTF8ToString(font);
    return c.measureText('').fontBoundingBoxAscent;
  },
  q3js_descent: function (font) {
    const c = Module.page.measuring;
    c.font = UTF8ToString(font);
    return c.measureText('').fontBoundingBoxDescent;
  },
  q3js_picture: function (which, x, y, w, h) {
    Module.page.context.drawImage(Module.page.pictures[which], x, y, w, h);
  },
  q3js_picture_blocks: function (which, x, y, w, h, columns, rows) {
    Module.page.pictureBlocks(which, x, y, HEAP32.subarray(columns >> 2, (columns >> 2) + w),
                              HEAP32.subarray(rows >> 2, (rows >> 2) + h));
  },
  q3js_caption: function (text) {
    Module.page.caption(UTF8ToString(text));
  },
  q3js_title: function (text) {
    document.title = UTF8ToString(text);
  },
  q3js_notice: function (text) {
    Module.page.notice(UTF8ToString(text));
  },
  q3js_toggle_fullscreen: function () {
    Module.page.toggleFullscreen();
  },
});
