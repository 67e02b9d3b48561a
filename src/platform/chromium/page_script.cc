#include "platform/chromium/page_script.h"

namespace qm::cr {

const char kPageScript[] = R"JS((() => {
'use strict';
// The window (and this world's globals with it) may outlive a document: a new window's first, empty
// document is replaced in place, and this script is not run again then. What belongs to the window is
// set up once; what belongs to the document is set up for each document, at the latest when the
// program or the probe first meets it.
const state = globalThis.__qmState || (globalThis.__qmState = {gen: 0, next: 3, hooked: false, origin: null, doc: null});
const send = (o) => { try { globalThis.__quillmereReport(JSON.stringify(o)); } catch (e) { /* the program has gone */ } };
const isTop = (() => { try { return window.top === window; } catch (e) { return false; } })();
state.setUp = () => {
  if (state.doc === document) return;
  state.doc = document;
  const gen = ++state.gen;

  // Objects handed out to the program, by number. Numbers are never reused, not even for the next
  // document of the same window.
  const weak = typeof WeakRef === 'function';
  const objs = new Map([[1, document], [2, window]]);
  const ids = new WeakMap([[document, 1], [window, 2]]);
  const gone = typeof FinalizationRegistry === 'function' ? new FinalizationRegistry((id) => objs.delete(id)) : null;
  const idOf = (o) => {
    if (o === null || o === undefined) return 0;
    let id = ids.get(o);
    if (id === undefined) {
      id = state.next++;
      ids.set(o, id);
      objs.set(id, weak ? new WeakRef(o) : o);
      if (gone) gone.register(o, id);
    }
    return id;
  };
  const get = (id) => {
    const r = objs.get(id);
    const o = weak && r instanceof WeakRef ? r.deref() : r;
    if (o === undefined || o === null) throw new Error('The object has gone');
    return o;
  };
  const tagOf = (e) => (e && typeof e.tagName === 'string') ? e.tagName : '';
  const attrOf = (e, n) => (e && e.getAttribute) ? e.getAttribute(n) : null;
  const dim = (e, which) => {
    const v = e[which];
    if (tagOf(e) === 'IMG') return Number(v) || 0;
    return (typeof v === 'number' || typeof v === 'string') ? v : null;
  };
  const textOf = (e) => { const t = e.innerText; return typeof t === 'string' ? t : (e.textContent || ''); };
  const styleOf = (e, p) => (e.style && typeof e.style[p] === 'string') ? e.style[p] : '';
  // A frame's window and whether its document may be read: [window, document] (document -1: refused,
  // a frame of another site; window 0: the frame shows nothing).
  const frameOf = (e) => {
    const w = e.contentWindow;
    if (!w) return [0, 0];
    try { return [idOf(w), idOf(w.document)]; } catch (err) { return [idOf(w), -1]; }
  };
  // What the program reads of every element of a list, in one go. An image's size costs the page a
  // layout check, and its address may be long: both are read only inside a link (false: not read), the
  // only images the program looks at. The text (which costs a layout) is read only of a layer positioned
  // absolutely, and the images inside only of one without text: the only layers whose text and images
  // the program looks at. Each record also names the links the element lies inside, nearest first:
  // markup that replaces one of them takes exactly those elements out of the document.
  const record = (e) => {
    const t = tagOf(e);
    const p = e.parentElement;
    const pt = tagOf(p);
    const looked = t !== 'IMG' || pt === 'A';
    const styled = e.hasAttribute('style');
    const position = styled ? styleOf(e, 'position') : '';
    const links = [];
    for (let a = p && p.closest('a'); a; a = a.parentElement && a.parentElement.closest('a')) links.push(idOf(a));
    const r = [idOf(e), t, idOf(p), pt, pt === 'A' ? attrOf(p, 'href') : null,
               looked ? dim(e, 'width') : false, looked ? dim(e, 'height') : false, looked ? attrOf(e, 'src') : false,
               attrOf(e, 'href'),
               null, position, styled ? styleOf(e, 'visibility') : '', null, null, links];
    if (t === 'DIV' && /^absolute$/i.test(position)) {
      r[9] = textOf(e);
      if (r[9] === '' || r[9] === ' ') r[12] = Array.from(e.getElementsByTagName('IMG'), idOf);
    }
    if (t === 'IFRAME') r[13] = frameOf(e);
    return r;
  };
  const within = (scope, tag) => get(scope).getElementsByTagName(tag || '*');

  // Where a window's client area stands on the screen. For this world's own window the latest pointer
  // event tells exactly; before one, the browser's frame sizes tell nearly.
  const origin = (w) => {
    if (w === window) {
      if (state.origin) return state.origin;
      return [Math.round(screenX + (outerWidth - innerWidth) / 2), Math.round(screenY + outerHeight - innerHeight)];
    }
    const fe = w.frameElement;
    if (!fe) throw new Error('Permission denied');
    const r = fe.getBoundingClientRect();
    const p = origin(fe.ownerDocument.defaultView);
    return [Math.round(p[0] + r.left + fe.clientLeft), Math.round(p[1] + r.top + fe.clientTop)];
  };
  // The part of an element's window at a client point: '' for the page content, a scroll bar, or outside.
  const partAt = (e, x, y) => {
    const d = e.ownerDocument || e;
    const w = d.defaultView;
    if (!w || x < 0 || y < 0 || x >= w.innerWidth || y >= w.innerHeight) return 'outside';
    const se = d.scrollingElement || d.documentElement;
    if (se && se.clientWidth > 0 && x >= se.clientWidth) return 'scrollbarVThumb';
    if (se && se.clientHeight > 0 && y >= se.clientHeight) return 'scrollbarHThumb';
    return d.elementFromPoint(x, y) ? '' : 'outside';
  };
  // A page whose security policy forbids style elements has no sheet to give (0: refused).
  const newSheet = (d, href, index) => {
    const doc = get(d);
    const el = doc.createElement('style');
    if (href) el.setAttribute('data-href', href);
    const sheets = doc.styleSheets;
    const before = index >= 0 && index < sheets.length ? sheets[index].ownerNode : null;
    if (before && before.parentNode) before.parentNode.insertBefore(el, before);
    else (doc.head || doc.documentElement).appendChild(el);
    return idOf(el.sheet);
  };

  const ops = {
    count: (scope, tag) => within(scope, tag).length,
    items: (scope, tag) => Array.from(within(scope, tag), record),
    attr: (id, n) => get(id).getAttribute(n),
    setattr: (id, n, v) => { const e = get(id); if (v === null) e.removeAttribute(n); else e.setAttribute(n, v); },
    style: (id, p) => styleOf(get(id), p),
    setstyle: (id, p, v) => { get(id).style[p] = v; },
    text: (id) => textOf(get(id)),
    parent: (id) => { const p = get(id).parentElement; return p ? [idOf(p), tagOf(p)] : null; },
    tag: (id) => tagOf(get(id)),
    outer: (id, html) => { get(id).outerHTML = html; },
    // Which of the elements are still in their document (false also for one that has gone entirely).
    connected: (ids) => ids.map((id) => {
      const r = objs.get(id);
      const o = weak && r instanceof WeakRef ? r.deref() : r;
      return !!(o && o.isConnected);
    }),
    dims: (id) => { const e = get(id); return [dim(e, 'width'), dim(e, 'height')]; },
    cwin: (id) => idOf(get(id).contentWindow),
    part: (id, x, y) => partAt(get(id), x, y),
    body: (d) => idOf(get(d).body),
    root: (d) => idOf(get(d).documentElement),
    win: (d) => idOf(get(d).defaultView),
    nframes: (d) => { const w = get(d).defaultView; return w ? w.frames.length : 0; },
    frame: (d, i) => { const w = get(d).defaultView; return w && i >= 0 && i < w.frames.length ? idOf(w.frames[i]) : 0; },
    nsheets: (d) => get(d).styleSheets.length,
    sheet: (d, i) => { const s = get(d).styleSheets; return i >= 0 && i < s.length ? idOf(s[i]) : 0; },
    newsheet: newSheet,
    owner: (s) => { const o = get(s).ownerNode; return o ? [idOf(o), tagOf(o)] : null; },
    addrule: (s, sel, style, index) => {
      const sheet = get(s);
      const n = sheet.cssRules.length;
      sheet.insertRule(sel + '{' + style + '}', index < 0 || index > n ? n : index);
    },
    wdoc: (w) => idOf(get(w).document),
    wpos: (w) => origin(get(w)),
    timeout: (ms, key) => { setTimeout(() => send({k: 'timeout', key}), ms); },
    ident: (id) => { get(id); return id; },
  };
  // The program names the document it means (0: whichever is there); a call meant for a document that
  // has gone is refused before it touches the new one.
  const run = (expected, batch) => {
    if (state.doc !== document) { state.setUp(); return globalThis.__qm.run(expected, batch); }
    if (expected !== 0 && expected !== gen) throw new Error('The document has gone');
    // As one text: a long list crosses the protocol far faster as text than as a tree of values.
    return JSON.stringify([gen, batch.map(([op, ...args]) => ops[op](...args))]);
  };
  const write = (expected, batch) => {
    if (state.doc !== document) { state.setUp(); return; }
    if (expected !== 0 && expected !== gen) return;
    for (const [op, ...args] of batch) { try { ops[op](...args); } catch (e) { /* one failed write */ } }
    ownChanges();
  };
  globalThis.__qm = {run, write, node: get};

  // Notices about the document.
  send({k: 'doc', gen});
  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', () => send({k: 'activate'}), true);
  } else {
    send({k: 'activate'});
  }
  let counted = -1;
  let countTimer = 0;
  let observer = null;
  // What the program changes itself is not news to it: the program's own writes (a banner replaced, an
  // attribute reset) neither announce a new element count nor a property change. A change of the page's
  // own that is still waiting to be counted is counted as usual, with the program's in it.
  const ownChanges = () => {
    if (!observer) return;
    const records = observer.takeRecords();
    if (!countTimer && records.some((r) => r.type === 'childList')) {
      counted = document.getElementsByTagName('*').length;
    }
  };
  const countNow = () => {
    countTimer = 0;
    const n = document.getElementsByTagName('*').length;
    if (n !== counted) { counted = n; send({k: 'count', n}); }
  };
  const inTitle = (n) => { for (; n; n = n.parentNode) if (n.nodeName === 'TITLE') return true; return false; };
  observer = new MutationObserver((records) => {
    let property = false;
    let children = false;
    for (const r of records) {
      if (r.type === 'attributes' || inTitle(r.target) ||
          Array.prototype.some.call(r.addedNodes || [], (n) => n.nodeName === 'TITLE')) property = true;
      if (r.type === 'childList') children = true;
    }
    if (property) send({k: 'prop'});
    if (children && !countTimer) countTimer = setTimeout(countNow, 100);
  });
  observer.observe(document, {subtree: true, childList: true, characterData: true, attributes: true, attributeFilter: ['ut']});
};

// The input probe, on the window (once): trusted input only, so a page that fakes clicks earns nothing.
if (!state.hooked) {
  state.hooked = true;
  const pointerOf = (e) => {
    const m = {ctrl: !!e.ctrlKey, sw: screen.width, sh: screen.height};
    if (typeof e.screenX === 'number' && typeof e.clientX === 'number') {
      m.sx = e.screenX; m.sy = e.screenY;
      if (isTop) state.origin = [e.screenX - e.clientX, e.screenY - e.clientY];
    }
    return m;
  };
  let moveTimer = 0;
  let pendingMove = null;
  const onInput = (e) => {
    if (!e.isTrusted) return;
    state.setUp();
    const m = pointerOf(e);
    m.k = 'input';
    m.t = e.type;
    send(m);
  };
  for (const t of ['mousedown', 'mouseup', 'click', 'keydown', 'keyup', 'touchend']) addEventListener(t, onInput, true);
  addEventListener('mousemove', (e) => {
    if (!e.isTrusted) return;
    pendingMove = pointerOf(e);
    pendingMove.k = 'move';
    if (!moveTimer) moveTimer = setTimeout(() => { moveTimer = 0; if (pendingMove) send(pendingMove); pendingMove = null; }, 50);
  }, true);
  addEventListener('mouseout', (e) => {
    if (!e.isTrusted || e.relatedTarget) return;
    pendingMove = null;
    send({k: 'leave', ctrl: !!e.ctrlKey});
  }, true);
  addEventListener('blur', (e) => { if (e.target === window) send({k: 'keys', ctrl: false}); }, true);
  addEventListener('beforeunload', () => send({k: 'unload'}), true);
  addEventListener('focus', (e) => { if (e.target === window) send({k: 'activate'}); }, true);
  addEventListener('DOMContentLoaded', () => state.setUp(), true);
}

state.setUp();
})();
)JS";

}  // namespace qm::cr
