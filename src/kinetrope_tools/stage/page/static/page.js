"use strict";
// The page: draws the rig from the states the show sends, and sends the
// operator's controls. Every control goes to the show; what the page shows
// comes back from it, so two pages always agree.
(() => {
  const page = {hello: null, state: null, cues: null, drawn: null, paths: {}, chosen: 0, now: false, view: "stage"};
  window.kinetrope = page;
  const $ = (id) => document.getElementById(id);
  const token = new URLSearchParams(location.search).get("token");
  let socket = null;
  let retry = 500;

  function connect() {
    const url = `ws://${location.host}/ws` + (token ? `?token=${encodeURIComponent(token)}` : "");
    socket = new WebSocket(url);
    socket.onopen = () => { retry = 500; $("link").textContent = "connected"; $("link").classList.remove("down"); };
    socket.onclose = () => {
      $("link").textContent = "reconnecting"; $("link").classList.add("down");
      setTimeout(connect, retry); retry = Math.min(retry * 2, 5000);
    };
    socket.onerror = () => {};  // onclose follows and reconnects
    socket.onmessage = (event) => receive(JSON.parse(event.data));
  }

  function send(message) {
    if (socket && socket.readyState === WebSocket.OPEN) socket.send(JSON.stringify(message));
    else complain("not connected to the show");
  }
  page.send = send;

  function complain(text) {
    const line = document.createElement("div");
    line.textContent = text;
    $("errors").prepend(line);
    while ($("errors").children.length > 4) $("errors").lastChild.remove();
    setTimeout(() => line.remove(), 6000);
  }

  function receive(message) {
    if (message.type === "hello") setUp(message);
    else if (message.type === "state") { page.state = message; requestAnimationFrame(draw); }
    else if (message.type === "cues") { page.cues = message; showCues(); }
    else if (message.type === "path") { page.paths[message.pattern] = message; if (page.view === "paths") buildPaths(); }
    else if (message.type === "found") showFound(message);
    else if (message.type === "error") complain(message.message);
  }

  // --- the rig's fixed parts ---------------------------------------------------------------------------------------

  function targets(hello) {
    const grouped = hello.groups.map((g) => ({name: g.name, colour: g.colour, members: g.members}));
    const alone = hello.fixtures.filter((f) => !f.group)
      .map((f) => ({name: f.name, colour: f.colour, members: [f.name]}));
    return grouped.concat(alone);
  }

  function setUp(hello) {
    page.hello = hello;
    page.index = Object.fromEntries(hello.fixtures.map((f, i) => [f.name, i]));
    page.targets = targets(hello);
    page.chosen = Math.min(page.chosen, page.targets.length - 1);
    Object.assign(page.paths, hello.paths);
    for (const t of page.targets) t.cues = t.cues || [...new Set(hello.cues)];
    $("show-name").textContent = hello.show;
    $("source").textContent = hello.clock;
    $("fade-beats").value = hello.crossfade_beats;
    // Controls this clock does not take are shown as such; the show refuses them anyway.
    $("tap").disabled = !hello.taps;
    document.querySelectorAll(".tempo button").forEach((b) => {
      b.disabled = !hello.tempo;
      if (!hello.tempo) b.title = "this clock's tempo is not set from here";
    });
    $("tap").title = hello.taps ? "tap the beat (Space)" : "this clock takes no taps (start the show with --tap)";
    buildGroups();
    buildTiles();
    if (page.view === "paths") buildPaths();
  }

  function buildGroups() {
    const box = $("groups");
    box.textContent = "";
    page.targets.forEach((target, n) => {
      const card = document.createElement("div");
      card.className = "group" + (n === page.chosen ? " chosen" : "");
      card.style.setProperty("--colour", target.colour);
      card.dataset.target = target.name;
      const title = document.createElement("h3");
      title.textContent = target.name;
      const small = document.createElement("small");
      small.className = "playing-name";
      title.append(small);
      title.onclick = () => choose(n);
      const cues = document.createElement("div");
      cues.className = "cues";
      target.cues.forEach((name, k) => {
        const button = document.createElement("button");
        button.textContent = (k < 9 ? `${k + 1} ` : "") + name;
        button.dataset.pattern = name;
        button.onclick = () => cue(target.name, name);
        cues.append(button);
      });
      const knobs = document.createElement("div");
      knobs.className = "knobs";
      knobs.append("speed");
      for (const factor of [0.25, 0.5, 1, 2, 4]) {
        const button = document.createElement("button");
        button.textContent = factor === 0.25 ? "¼" : factor === 0.5 ? "½" : `${factor}×`;
        button.dataset.speed = factor;
        button.onclick = () => send({type: "speed", target: target.name, factor});
        knobs.append(button);
      }
      knobs.append("size");
      const size = document.createElement("input");
      Object.assign(size, {type: "range", min: 0, max: 1, step: 0.05, value: 1});
      size.className = "size";
      size.oninput = () => send({type: "size", target: target.name, factor: Number(size.value)});
      size.onchange = () => size.blur();  // the keys go back to the page
      knobs.append(size);
      card.append(title, cues, knobs);
      box.append(card);
    });
    showCues();
  }

  function choose(n) {
    page.chosen = (n + page.targets.length) % page.targets.length;
    document.querySelectorAll(".group").forEach((card, k) => card.classList.toggle("chosen", k === page.chosen));
  }

  function cue(target, pattern) {
    const beats = Number($("fade-beats").value);
    if (!(beats >= 0 && beats <= 1024)) { complain("a fade is from 0 to 1024 beats"); return; }
    if (!page.paths[pattern]) send({type: "path", pattern});
    send({type: "cue", target, pattern, beats, now: page.now});
  }

  function buildTiles() {
    const box = $("tiles");
    box.textContent = "";
    for (const f of page.hello.fixtures.filter((f) => f.visual)) {
      const figure = document.createElement("figure");
      const canvas = document.createElement("canvas");
      canvas.width = canvas.height = 120;
      canvas.dataset.fixture = f.name;
      const caption = document.createElement("figcaption");
      caption.textContent = f.name;
      figure.append(canvas, caption);
      box.append(figure);
    }
  }

  function buildPaths() {
    const box = $("paths");
    box.textContent = "";
    const inUse = [...new Set(page.cues ? page.cues.patterns : page.hello.fixtures.map((f) => f.pattern))];
    for (const name of inUse) {
      if (!page.paths[name]) { send({type: "path", pattern: name}); continue; }
      const figure = document.createElement("figure");
      const canvas = document.createElement("canvas");
      canvas.width = canvas.height = 220;
      canvas.dataset.pattern = name;
      const caption = document.createElement("figcaption");
      const beats = page.paths[name].period_pips / page.hello.pips_per_beat;
      caption.textContent = `${name} · ${beats} beat${beats === 1 ? "" : "s"}`;
      caption.title = page.paths[name].description;
      figure.append(canvas, caption);
      box.append(figure);
    }
  }

  // --- what changes: cues, switches and the clock ------------------------------------------------------------------

  function showCues() {
    const cues = page.cues;
    if (!cues || !page.hello) return;
    const pip = page.state ? page.state.pip : 0;
    page.targets.forEach((target) => {
      const card = document.querySelector(`.group[data-target="${CSS.escape(target.name)}"]`);
      if (!card) return;
      const i = page.index[target.members[0]];
      const playing = cues.patterns[i];
      const pending = cues.fade_start[i] > pip;
      if (!target.cues.includes(playing)) { target.cues.push(playing); buildGroups(); return; }
      const fading = !pending && pip < cues.fade_end[i];
      const share = fading ? Math.round(100 * (pip - cues.fade_start[i]) / (cues.fade_end[i] - cues.fade_start[i])) : 100;
      card.querySelector(".playing-name").textContent =
        pending ? `on bar ${Math.floor(cues.fade_start[i] / (page.hello.beats_per_bar * page.hello.pips_per_beat)) + 1}: ${playing}`
        : fading ? `fading to ${playing} ${share} %` : playing;
      card.querySelectorAll(".cues button").forEach((button) => {
        const mine = button.dataset.pattern === playing;
        button.classList.toggle("playing", mine && !pending);
        button.classList.toggle("next", mine && pending);
      });
      const base = page.hello.fixtures[i];
      const speed = base.speed ? cues.speed[i] / base.speed : 1;
      card.querySelectorAll("[data-speed]").forEach((b) => b.classList.toggle("on", Math.abs(b.dataset.speed - speed) < 1e-9));
      const size = card.querySelector(".size");
      if (base.size && document.activeElement !== size) size.value = cues.size[i] / base.size;
    });
    if (page.view === "paths") buildPaths();
  }

  function showClock(state) {
    const hello = page.hello;
    const beat = Math.floor(state.pip / hello.pips_per_beat);
    const bar = Math.floor(beat / hello.beats_per_bar);
    const inBar = beat - bar * hello.beats_per_bar;
    $("bpm").textContent = state.bpm === null ? "---.-" : state.bpm.toFixed(1);
    $("source").textContent = hello.clock + (state.peers !== null ? ` · ${state.peers} peer${state.peers === 1 ? "" : "s"}` : "");
    $("bar-beat").textContent = `${bar + 1}.${inBar + 1}`;
    const light = $("beat-light");
    light.classList.toggle("on", state.pip - beat * hello.pips_per_beat < hello.pips_per_beat / 4);
    light.classList.toggle("downbeat", inBar === 0);
    $("frames").textContent = state.frames;
    $("late").textContent = state.late;
    $("dropped").textContent = state.dropped;
    for (const name of ["blackout", "home", "freeze"]) {
      const on = state[name === "freeze" ? "frozen" : name];
      $(name).classList.toggle("on", on);
      $(`flag-${name}`).classList.toggle("on", on);
    }
    if (page.cues) showCues();
  }

  // --- drawing ----------------------------------------------------------------------------------------------------

  function sizeOf(i) { return page.cues ? page.cues.size[i] : page.hello.fixtures[i].size; }

  function fitStage(canvas) {
    const width = Math.max(320, Math.floor(canvas.clientWidth || 800));
    const places = page.hello.fixtures.filter((f) => !f.visual).map((f) => f.position);
    if (!places.length) return null;
    const xs = places.map((p) => p[0]), ys = places.map((p) => p[1]);
    const x0 = Math.min(...xs), x1 = Math.max(...xs), y0 = Math.min(...ys), y1 = Math.max(...ys);
    // The nearest two fixtures set the size of a head, so none overlap.
    let near = Infinity;
    for (let a = 0; a < places.length; a++) for (let b = a + 1; b < places.length; b++) {
      near = Math.min(near, Math.hypot(places[a][0] - places[b][0], places[a][1] - places[b][1]) || Infinity);
    }
    if (!isFinite(near)) near = 1;
    const spanX = Math.max(x1 - x0, near), spanY = Math.max(y1 - y0, near);
    const scale = Math.min((width - 40) / (spanX + near), 520 / (spanY + near));
    const radius = Math.max(14, Math.min(90, scale * near * 0.45));
    // Room for a point at the edge of the reach, and a name below.
    const height = Math.ceil((y1 - y0) * scale + 2.8 * radius + 40);
    if (canvas.width !== width) canvas.width = width;
    if (canvas.height !== height) canvas.height = height;
    const cx = width / 2 - ((x0 + x1) / 2) * scale, cy = height / 2 + ((y0 + y1) / 2) * scale;
    return {scale, radius, place: (p) => [cx + p[0] * scale, cy - p[1] * scale]};
  }

  function point(ctx, x, y, z, r, colour, dark) {
    const size = r * (0.16 + 0.1 * (z + 1));  // nearer (z = +1) is larger
    ctx.beginPath();
    ctx.arc(x, y, size, 0, 2 * Math.PI);
    if (dark) { ctx.strokeStyle = colour; ctx.lineWidth = 1.5; ctx.stroke(); }
    else { ctx.fillStyle = colour; ctx.fill(); }
    return size;
  }

  function drawStage(state) {
    const canvas = $("stage");
    const ctx = canvas.getContext("2d");
    const fit = fitStage(canvas);
    const drawn = {pip: state.pip, held: state.held, at: state.at, number: state.number, points: {}};
    ctx.clearRect(0, 0, canvas.width, canvas.height);
    if (!fit) { page.drawn = drawn; return; }
    const r = fit.radius;
    ctx.font = `${Math.max(10, Math.min(14, r * 0.3))}px system-ui, sans-serif`;
    ctx.textAlign = "center";
    page.hello.fixtures.forEach((f, i) => {
      if (f.visual) return;
      const [hx, hy] = fit.place(f.position);
      const [x, y, z] = state.offsets[i];
      const size = sizeOf(i);
      const px = hx + x * size * r, py = hy - y * size * r;
      ctx.strokeStyle = "#2c333d"; ctx.lineWidth = 1;
      ctx.beginPath(); ctx.arc(hx, hy, r, 0, 2 * Math.PI); ctx.stroke();  // the head's reach
      ctx.fillStyle = "#1b2027";
      ctx.beginPath(); ctx.arc(hx, hy, r * 0.22, 0, 2 * Math.PI); ctx.fill();
      ctx.strokeStyle = f.colour; ctx.lineWidth = 2; ctx.stroke();  // the head seen from above
      if (!state.blackout) {
        const beam = ctx.createLinearGradient(hx, hy, px, py);
        beam.addColorStop(0, "rgba(255,255,255,0.05)"); beam.addColorStop(1, f.colour);
        ctx.strokeStyle = beam; ctx.lineWidth = Math.max(2, r * 0.08);
        ctx.beginPath(); ctx.moveTo(hx, hy); ctx.lineTo(px, py); ctx.stroke();
      }
      const radius = point(ctx, px, py, z, r, f.colour, state.blackout);
      ctx.fillStyle = "#c0c7d0";
      ctx.fillText(f.name, hx, hy + r + 12);
      drawn.points[f.name] = {x: px, y: py, radius, head: [hx, hy], reach: r, offset: [x, y, z], size};
    });
    page.drawn = drawn;
  }

  function drawTiles(state) {
    document.querySelectorAll("#tiles canvas").forEach((canvas) => {
      const i = page.index[canvas.dataset.fixture];
      const ctx = canvas.getContext("2d");
      const w = canvas.width, r = w * 0.42;
      const [x, y, z] = state.offsets[i];
      ctx.clearRect(0, 0, w, w);
      ctx.strokeStyle = "#2c333d"; ctx.strokeRect(w / 2 - r, w / 2 - r, 2 * r, 2 * r);
      point(ctx, w / 2 + x * r, w / 2 - y * r, z, r * 0.6, page.hello.fixtures[i].colour, state.blackout);
    });
  }

  function drawPaths(state) {
    document.querySelectorAll("#paths canvas").forEach((canvas) => {
      const path = page.paths[canvas.dataset.pattern];
      const ctx = canvas.getContext("2d");
      const w = canvas.width, r = w * 0.44, c = w / 2;
      ctx.clearRect(0, 0, w, w);
      ctx.strokeStyle = "#2c333d"; ctx.strokeRect(c - r, c - r, 2 * r, 2 * r);
      const points = path.points, n = points.length;
      const oneD = path.dimensions === 1;
      // As the gallery draws it: time by colour (early blue to late yellow), depth by width; a 1-D
      // pattern along x with time running down.
      for (let k = 0; k + 1 < n; k++) {
        const [x0, y0, z0] = points[k], [x1, y1] = points[k + 1];
        ctx.strokeStyle = `hsl(${250 - 190 * (k / n)}, 70%, 55%)`;
        ctx.lineWidth = path.dimensions === 3 ? 1 + 2.5 * (z0 + 1) : 2;
        ctx.beginPath();
        if (oneD) { ctx.moveTo(c + x0 * r, c - r + 2 * r * k / n); ctx.lineTo(c + x1 * r, c - r + 2 * r * (k + 1) / n); }
        else { ctx.moveTo(c + x0 * r, c - y0 * r); ctx.lineTo(c + x1 * r, c - y1 * r); }
        ctx.stroke();
      }
      page.hello.fixtures.forEach((f, i) => {
        if (!page.cues || page.cues.patterns[i] !== canvas.dataset.pattern) return;
        const [x, y, z] = state.offsets[i];
        const py = oneD ? c - r + 2 * r * (((state.held % path.period_pips) + path.period_pips) % path.period_pips) / path.period_pips
                        : c - y * r;
        point(ctx, c + x * r, py, z, r * 0.35, f.colour, state.blackout);
      });
    });
  }

  function draw() {
    const state = page.state;
    if (!state || !page.hello) return;
    showClock(state);
    if (page.view === "stage") drawStage(state);
    else drawPaths(state);
    drawTiles(state);
  }

  // --- controls and keys ------------------------------------------------------------------------------------------

  $("tap").onclick = () => send({type: "tap"});
  $("resync").onclick = () => send({type: "resync"});
  document.querySelectorAll(".tempo button").forEach((b) => { b.onclick = () => send({type: "tempo", by: Number(b.dataset.by)}); });
  for (const name of ["blackout", "home", "freeze"]) {
    $(name).onclick = () => send({type: name, on: !(page.state && page.state[name === "freeze" ? "frozen" : name])});
  }
  $("when").onclick = () => {
    page.now = !page.now;
    $("when").textContent = page.now ? "now" : "next bar";
    $("when").classList.toggle("on", page.now);
  };
  function setView(view) {
    page.view = view;
    $("view-stage").classList.toggle("on", view === "stage");
    $("view-paths").classList.toggle("on", view === "paths");
    $("stage").hidden = view !== "stage";
    $("paths").hidden = view !== "paths";
    if (view === "paths") buildPaths();
    draw();
  }
  $("view-stage").onclick = () => setView("stage");
  $("view-paths").onclick = () => setView("paths");

  let searching = null;
  $("search").oninput = () => {
    clearTimeout(searching);
    searching = setTimeout(() => send({type: "search", text: $("search").value.slice(0, 64)}), 150);
  };
  function showFound(message) {
    if (message.text !== $("search").value.slice(0, 64)) return;
    const list = $("found");
    list.textContent = "";
    for (const entry of message.patterns) {
      const item = document.createElement("li");
      item.dataset.pattern = entry.name;
      item.textContent = `${entry.name} · ${entry.period}`;
      const small = document.createElement("small");
      small.textContent = entry.description;
      item.append(small);
      item.title = "cue it on the chosen group";
      item.onclick = () => {
        const target = page.targets[page.chosen];
        $("search").blur();  // the keys go back to the page
        if (!target.cues.includes(entry.name)) { target.cues.push(entry.name); buildGroups(); }
        cue(target.name, entry.name);
      };
      list.append(item);
    }
  }

  // A key does what its button does: it clicks it.
  const keyed = {};
  document.querySelectorAll("[data-key]").forEach((b) => { if (!keyed[b.dataset.key]) keyed[b.dataset.key] = b; });
  keyed.V = {click: () => setView(page.view === "stage" ? "paths" : "stage")};
  document.addEventListener("keydown", (event) => {
    if (event.target.matches("#search") && event.key === "Escape") { event.preventDefault(); event.target.blur(); return; }
    if (event.target.matches("input:not([type=range]), textarea, select") || event.ctrlKey || event.metaKey || event.altKey) return;
    if (event.target.matches("input[type=range]")) event.target.blur();
    const key = event.code === "Space" ? "Space" : event.key.length === 1 ? event.key.toUpperCase() : event.key;
    const name = (event.shiftKey && key.startsWith("Arrow") ? "Shift+" : "") + key;
    let done = true;
    if (keyed[name]) {
      if (event.repeat && name !== "ArrowUp" && name !== "ArrowDown") return;
      const button = keyed[name];
      if (button.disabled) { complain(button.title); event.preventDefault(); return; }
      button.click();
      if (button.classList) { button.classList.add("flash"); setTimeout(() => button.classList.remove("flash"), 120); }
    } else if (key === "ArrowLeft" || key === "ArrowRight") choose(page.chosen + (key === "ArrowLeft" ? -1 : 1));
    else if (/^[1-9]$/.test(key) && page.targets) {
      const target = page.targets[page.chosen], name = target.cues[Number(key) - 1];
      if (name) cue(target.name, name);
    } else if (key === "/") $("search").focus();
    else done = false;
    if (done) event.preventDefault();
  });
  // A clicked button keeps no focus, so Space stays the tap key and never clicks it again.
  document.addEventListener("click", (event) => { if (event.target.closest("button")) event.target.closest("button").blur(); });
  window.addEventListener("resize", () => requestAnimationFrame(draw));
  connect();
})();
