// The post editor page. The window drives it through three global functions (setEditorContent,
// getEditorContent, addLocalImage) and hears from it through the web channel object "editorBridge"
// (the content after every change) and through loads whose path holds a marker
// ("/addlocalimage:", "/previewcontent:", "/livepreviewcontent:") behind the window's key, which the
// window cancels.
'use strict';

(function () {
  const root = document.getElementById('editor');

  // Pasted and dropped HTML is cleaned; a post's own HTML is never passed through here.
  function sanitizeToDOMFragment(html) {
    const fragment = DOMPurify.sanitize(html, {
      RETURN_DOM_FRAGMENT: true,
      WHOLE_DOCUMENT: false,
      FORCE_BODY: false,
    });
    return fragment ? document.importNode(fragment, true) : document.createDocumentFragment();
  }

  const editor = new Squire(root, {
    blockTag: 'DIV',
    sanitizeToDOMFragment: sanitizeToDOMFragment,
    // Each undo step keeps the whole document: large posts keep fewer of them.
    undo: { documentSizeThreshold: 1000000, undoLimit: 20 },
  });
  // Its handles would be written into the post's HTML while an image is selected.
  if (editor._imageResizer) {
    editor._imageResizer.destroy();
  }

  // ---- Content -------------------------------------------------------------------------------------

  let generation = 0; // setEditorContent calls so far; the window drops news about older content
  let loadedArgument = null; // the text the last setEditorContent received
  let loadedHtml = ''; // the content as the window sent it
  let baseline = ''; // how the document serialises right after that load
  let changedSinceLoad = false;
  let lastSent = null;
  let lastSize = 0;
  let sendTimer = 0;
  let bridge = null;
  let loadNewsPending = false;

  // The text reaches us as UTF-8 bytes, one character per byte (unescape of the percent-encoding).
  function textFromBytes(bytesText) {
    if (/[^\u0000-\u00ff]/.test(bytesText)) {
      return bytesText;
    }
    const bytes = new Uint8Array(bytesText.length);
    for (let i = 0; i < bytesText.length; i += 1) {
      bytes[i] = bytesText.charCodeAt(i);
    }
    return new TextDecoder('utf-8').decode(bytes);
  }

  // No frame of a post runs script here: the engine runs a page's frames in the page's own process, so a
  // frame's script that never ended would hold the editor with it. An iframe is sandboxed; a frame, object
  // or embed cannot be, so it loses its address. What each one had of its own is kept beside it under a
  // name no post can know, and what is read back is the post's own HTML.
  const frameMark =
    'data-penhollow-' + Array.from(crypto.getRandomValues(new Uint32Array(2)), (n) => n.toString(36)).join('');
  const FRAMES = 'iframe,frame,object,embed';
  const ADDRESSES = { FRAME: ['src'], OBJECT: ['data'], EMBED: ['src'] };

  function isFrame(node) {
    return (
      node instanceof HTMLIFrameElement ||
      node instanceof HTMLFrameElement ||
      node instanceof HTMLObjectElement ||
      node instanceof HTMLEmbedElement
    );
  }

  function isHeld(frame) {
    if (!frame.hasAttribute(frameMark)) {
      return false;
    }
    if (frame instanceof HTMLIFrameElement) {
      return frame.getAttribute('sandbox') === '';
    }
    return ADDRESSES[frame.tagName].every((name) => !frame.hasAttribute(name));
  }

  function ownAttributes(frame) {
    try {
      const own = JSON.parse(frame.getAttribute(frameMark));
      return own && typeof own === 'object' ? own : {};
    } catch (e) {
      return {};
    }
  }

  // Only for a frame outside the document: a sandbox set on one that is in holds only its next load.
  function hold(frame) {
    if (isHeld(frame)) {
      return;
    }
    const own = frame.hasAttribute(frameMark) ? ownAttributes(frame) : {};
    const names = frame instanceof HTMLIFrameElement ? ['sandbox'] : ADDRESSES[frame.tagName];
    for (const name of names) {
      if (!Object.prototype.hasOwnProperty.call(own, name)) {
        own[name] = frame.getAttribute(name);
      }
    }
    frame.setAttribute(frameMark, JSON.stringify(own));
    if (frame instanceof HTMLIFrameElement) {
      frame.setAttribute('sandbox', '');
    } else {
      names.forEach((name) => frame.removeAttribute(name));
    }
  }

  function holdFrames(node) {
    if (isFrame(node)) {
      hold(node);
    }
    if (node.querySelectorAll) {
      for (const frame of node.querySelectorAll(FRAMES)) {
        if (isFrame(frame)) {
          hold(frame);
        }
      }
    }
  }

  // Whatever puts a frame in the page (a post that parses differently when read back, undo and redo,
  // paste, drop, the editing library), one that is not held is swapped for a held copy before its document
  // can arrive: observers run as the script that made the change ends, and a frame's document comes in a
  // later task.
  function guard(node) {
    if (!node.isConnected) {
      return;
    }
    const found = isFrame(node) ? [node] : [];
    if (node.querySelectorAll) {
      found.push(...Array.from(node.querySelectorAll(FRAMES)).filter(isFrame));
    }
    for (const frame of found) {
      if (frame.isConnected && !isHeld(frame)) {
        const copy = frame.cloneNode(true);
        holdFrames(copy);
        frame.replaceWith(copy);
      }
    }
  }
  new MutationObserver(function (records) {
    for (const record of records) {
      if (record.type === 'attributes') {
        guard(record.target);
      } else {
        record.addedNodes.forEach(guard);
      }
    }
  }).observe(document, {
    childList: true,
    subtree: true,
    attributes: true,
    attributeFilter: ['sandbox', 'src', 'srcdoc', 'data', frameMark],
  });

  function ownHtml() {
    if (!root.querySelector('[' + frameMark + ']')) {
      return root.innerHTML;
    }
    // A copy outside the document: its frames load nothing.
    const copy = root.cloneNode(true);
    for (const frame of copy.querySelectorAll('[' + frameMark + ']')) {
      const own = ownAttributes(frame);
      frame.removeAttribute(frameMark);
      for (const name of Object.keys(own)) {
        if (own[name] === null) {
          frame.removeAttribute(name);
        } else {
          frame.setAttribute(name, String(own[name]));
        }
      }
    }
    return copy.innerHTML;
  }

  // Parsed as this page parses (scripts on, as undo and redo read the document back) outside the
  // document, where nothing loads, and read back until that gives the same document: what undo brings
  // back is then what was loaded. Frames are held before anything is put in place.
  const REPARSES = 3;

  function parsed(html) {
    const holder = document.createElement('div');
    holder.innerHTML = html;
    holdFrames(holder);
    return holder;
  }

  // Elements come only from tags written out in the post. One without any tag that frames content or whose
  // content the parser reads apart (raw text, noscript, foreign content, forms, templates, tables) parses
  // the same when read back and holds no frame, so it goes in as it is; the guard holds frames either way.
  const FRAMED_OR_READ_APART = new RegExp(
    '<(?:iframe|frame|object|embed|portal|fencedframe|noscript|style|script|xmp|noembed|noframes|plaintext|' +
      'textarea|title|template|form|math|svg|select|table)(?=[\\s/>]|$)',
    'i'
  );

  function putInPlace(html) {
    if (!FRAMED_OR_READ_APART.test(html)) {
      root.innerHTML = html;
      return;
    }
    let holder = parsed(html);
    for (let i = 0; i < REPARSES; i += 1) {
      const serialised = holder.innerHTML;
      const again = parsed(serialised);
      if (again.innerHTML === serialised) {
        break;
      }
      holder = again;
    }
    const fragment = document.createDocumentFragment();
    while (holder.firstChild) {
      fragment.appendChild(holder.firstChild);
    }
    root.replaceChildren(fragment);
  }

  const BLANK_CONTENT = 'img,iframe,video,audio,embed,object,table,hr,canvas,svg,input,select,textarea';

  function isBlank() {
    return root.textContent.replace(/[\s\u200b]/g, '') === '' && !root.querySelector(BLANK_CONTENT);
  }

  // The post's HTML exactly as loaded until the document differs from what was loaded; then the
  // document as it stands. A document without text or media is no content at all.
  function currentContent() {
    const html = root.innerHTML;
    if (html === baseline) {
      return loadedHtml;
    }
    return isBlank() ? '' : ownHtml();
  }

  function resetUndo() {
    editor._undoIndex = -1;
    editor._undoStack.length = 0;
    editor._undoStackLength = 0;
    editor._isInUndoState = false;
    const range = document.createRange();
    range.setStart(root.firstElementChild || root, 0);
    range.collapse(true);
    editor.saveUndoState(range);
    editor.setSelection(range);
  }

  // Squire's own setHTML rewrites the document (it drops comments and unknown elements and restyles
  // spans); a post must come back as it went in, so its HTML is put in place as it stands.
  function loadContent(html) {
    // Before the new text is in: afterwards it would lay out the whole post at once, which for a large
    // post takes longer than loading it.
    document.getElementById('scroller').scrollTop = 0;
    if (html === '') {
      editor.setHTML('');
    } else {
      editor._ignoreChange = true;
      putInPlace(html);
      resetUndo();
    }
    loadedHtml = html;
    baseline = root.innerHTML;
    watcher.takeRecords();
    changedSinceLoad = false;
    lastSent = null;
    lastSize = html.length;
  }

  function sendContent() {
    sendTimer = 0;
    const html = currentContent();
    lastSize = html.length;
    if (html === lastSent) {
      return;
    }
    if (!bridge) {
      return;
    }
    lastSent = html;
    bridge.contentChanged(generation, html);
  }

  // Every change is reported; a burst of changes in one turn is reported once, and a large post at
  // most a few times a second, so typing stays quick.
  function scheduleSend() {
    if (sendTimer) {
      return;
    }
    sendTimer = setTimeout(sendContent, lastSize > 200000 ? 250 : 0);
  }

  const watcher = new MutationObserver(function () {
    changedSinceLoad = true;
    scheduleSend();
  });
  watcher.observe(root, { childList: true, attributes: true, characterData: true, subtree: true });

  function reportLoaded() {
    if (!bridge) {
      loadNewsPending = true;
      return;
    }
    const loaded = generation;
    // After the next paint: the content is on screen.
    requestAnimationFrame(function () {
      setTimeout(function () {
        if (bridge) {
          bridge.contentLoaded(loaded);
        }
      }, 0);
    });
  }

  window.setEditorContent = function (argument) {
    const text = typeof argument === 'string' ? argument : '';
    generation += 1;
    if (text !== loadedArgument || changedSinceLoad) {
      loadContent(textFromBytes(text));
      loadedArgument = text;
    }
    reportLoaded();
  };

  window.getEditorContent = function () {
    return currentContent();
  };

  // While a post is being published its text cannot change: what is sent is what is on screen.
  let locked = false;
  window.setEditorLocked = function (flag) {
    locked = flag === true;
    root.setAttribute('contenteditable', locked ? 'false' : 'true');
    // The previews only read the post: they stay.
    const editing = '#toolbar button:not(#preview):not(#livePreview), #toolbar select, #linkBar input, #linkBar button';
    for (const control of document.querySelectorAll(editing)) {
      control.disabled = locked;
    }
    document.body.classList.toggle('locked', locked);
  };
  // Squire acts on some keys itself (Enter, Backspace, undo), also on a text that is no longer editable.
  for (const type of ['keydown', 'keypress', 'beforeinput', 'input', 'paste', 'cut', 'drop', 'dragover']) {
    document.addEventListener(
      type,
      function (event) {
        if (locked && root.contains(event.target)) {
          event.preventDefault();
          event.stopImmediatePropagation();
        }
      },
      true
    );
  }

  window.addLocalImage = function (address) {
    if (typeof address !== 'string' || address === '' || locked) {
      return;
    }
    editor.insertImage(address);
  };

  if (typeof qt !== 'undefined' && qt.webChannelTransport) {
    new QWebChannel(qt.webChannelTransport, function (channel) {
      bridge = channel.objects.editorBridge || null;
      if (!bridge) {
        return;
      }
      if (changedSinceLoad) {
        sendContent();
      }
      if (loadNewsPending) {
        loadNewsPending = false;
        reportLoaded();
      }
    });
  }

  // ---- Requests to the window ----------------------------------------------------------------------

  let markerCount = 0;

  // A load the window recognises by its path and cancels. The key comes from the window over the web
  // channel and never enters the document, so a post's own pictures cannot make such a request.
  function request(marker) {
    if (!bridge || typeof bridge.requestKey !== 'string' || bridge.requestKey === '') {
      return;
    }
    markerCount += 1;
    const probe = new Image();
    probe.src = '/penhollow-editor/' + bridge.requestKey + '/' + marker + ':?n=' + markerCount;
  }

  // ---- Toolbar -------------------------------------------------------------------------------------

  const toolbar = document.getElementById('toolbar');
  const blockFormat = document.getElementById('blockFormat');
  const linkBar = document.getElementById('linkBar');
  const linkAddress = document.getElementById('linkAddress');
  let linkRange = null;

  function pathHas(tag) {
    return new RegExp('(^|>)' + tag + '\\b').test(editor.getPath());
  }

  const LEAF_BLOCKS = 'div,p,h1,h2,h3,h4,h5,h6';

  function setBlockTag(tag) {
    editor.modifyBlocks(function (fragment) {
      const blocks = Array.from(fragment.querySelectorAll(LEAF_BLOCKS)).filter(function (block) {
        return !block.querySelector(LEAF_BLOCKS + ',ul,ol,blockquote,table,pre');
      });
      if (blocks.length === 0) {
        const block = document.createElement(tag);
        block.appendChild(fragment);
        const wrapped = document.createDocumentFragment();
        wrapped.appendChild(block);
        return wrapped;
      }
      blocks.forEach(function (block) {
        const replacement = document.createElement(tag);
        for (const attribute of Array.from(block.attributes)) {
          replacement.setAttribute(attribute.name, attribute.value);
        }
        while (block.firstChild) {
          replacement.appendChild(block.firstChild);
        }
        block.replaceWith(replacement);
      });
      return fragment;
    });
    editor.focus();
  }

  function safeAddress(text) {
    const address = text.trim();
    if (address === '') {
      return '';
    }
    if (/^(https?:|mailto:|#|\/)/i.test(address)) {
      return address;
    }
    if (/^[a-z][a-z0-9+.-]*:/i.test(address)) {
      return ''; // javascript:, data: and other schemes are not links in a post
    }
    return 'https://' + address;
  }

  function showLinkBar() {
    linkRange = editor.getSelection();
    const anchor = linkRange && linkRange.startContainer;
    const element = anchor && (anchor.nodeType === Node.ELEMENT_NODE ? anchor : anchor.parentElement);
    const link = element && element.closest('a');
    linkAddress.value = link && root.contains(link) ? link.getAttribute('href') || '' : '';
    linkBar.hidden = false;
    linkAddress.focus();
    linkAddress.select();
  }

  function hideLinkBar() {
    linkBar.hidden = true;
    if (linkRange) {
      editor.setSelection(linkRange);
    }
    linkRange = null;
    editor.focus();
  }

  const commands = {
    bold: function () {
      if (editor.hasFormat('B')) {
        editor.removeBold();
      } else {
        editor.bold();
      }
    },
    italic: function () {
      if (editor.hasFormat('I')) {
        editor.removeItalic();
      } else {
        editor.italic();
      }
    },
    underline: function () {
      if (editor.hasFormat('U')) {
        editor.removeUnderline();
      } else {
        editor.underline();
      }
    },
    unorderedList: function () {
      if (pathHas('UL')) {
        editor.removeList();
      } else {
        editor.makeUnorderedList();
      }
    },
    orderedList: function () {
      if (pathHas('OL')) {
        editor.removeList();
      } else {
        editor.makeOrderedList();
      }
    },
    quote: function () {
      if (pathHas('BLOCKQUOTE')) {
        editor.decreaseQuoteLevel();
      } else {
        editor.increaseQuoteLevel();
      }
    },
    link: showLinkBar,
    image: function () {
      request('addlocalimage');
    },
    preview: function () {
      request('previewcontent');
    },
    livePreview: function () {
      request('livepreviewcontent');
    },
  };

  // Buttons act without taking the focus from the text, so the selection they act on stays.
  toolbar.addEventListener('mousedown', function (event) {
    if (event.target.closest('button')) {
      event.preventDefault();
    }
  });
  toolbar.addEventListener('click', function (event) {
    const button = event.target.closest('button[data-command]');
    if (button && commands[button.dataset.command]) {
      commands[button.dataset.command]();
    }
  });
  blockFormat.addEventListener('change', function () {
    setBlockTag(blockFormat.value);
  });

  linkBar.addEventListener('submit', function (event) {
    event.preventDefault();
    const address = safeAddress(linkAddress.value);
    const range = linkRange;
    hideLinkBar();
    if (!range) {
      return;
    }
    if (address === '') {
      editor.removeLink();
    } else {
      editor.makeLink(address);
    }
  });
  document.getElementById('linkRemove').addEventListener('click', function () {
    hideLinkBar();
    editor.removeLink();
  });
  document.getElementById('linkCancel').addEventListener('click', hideLinkBar);
  linkAddress.addEventListener('keydown', function (event) {
    if (event.key === 'Escape') {
      event.preventDefault();
      hideLinkBar();
    }
  });

  editor.addEventListener('pathChange', function () {
    const states = {
      bold: editor.hasFormat('B'),
      italic: editor.hasFormat('I'),
      underline: editor.hasFormat('U'),
      unorderedList: pathHas('UL'),
      orderedList: pathHas('OL'),
      quote: pathHas('BLOCKQUOTE'),
      link: pathHas('A'),
    };
    for (const name of Object.keys(states)) {
      document.getElementById(name).classList.toggle('active', states[name]);
    }
    const heading = /(^|>)(H[1-3])\b(?!.*>(H[1-6]|DIV|P)\b)/.exec(editor.getPath());
    blockFormat.value = heading ? heading[2] : 'DIV';
  });

  // ---- Drops ---------------------------------------------------------------------------------------

  function carriesFiles(event) {
    return !!event.dataTransfer && Array.from(event.dataTransfer.types || []).indexOf('Files') !== -1;
  }

  // A drop outside the text, or of files anywhere, is swallowed: the browser would otherwise open the
  // dropped file in place of the post.
  function swallowed(event) {
    return carriesFiles(event) || !root.contains(event.target);
  }

  document.addEventListener(
    'dragover',
    function (event) {
      if (swallowed(event)) {
        event.preventDefault();
        event.dataTransfer.dropEffect = 'none';
      }
    },
    true
  );
  document.addEventListener(
    'drop',
    function (event) {
      if (swallowed(event)) {
        event.preventDefault();
        event.stopPropagation();
      }
    },
    true
  );

  loadContent('');
})();
