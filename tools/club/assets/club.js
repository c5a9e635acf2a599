// Live tables of the club server: one WebSocket to /live/watch, no polling. The server
// sends every table's last snapshot at once ("tables"), then each change ("table").
// Pages: the dashboard (data-live="all"), the TV page ("one") and the overlay ("strip").
"use strict";
(function () {
  const root = document.getElementById("tables");
  if (!root) return;
  const mode = root.dataset.live;
  const only = root.dataset.table || "";
  const etat = document.querySelector("[data-etat]");
  const cards = new Map();
  let delay = 500;

  function num(v) { return typeof v === "number" && isFinite(v) ? v : null; }
  function int(v) { const n = num(v); return n === null ? "–" : String(Math.round(n)); }
  function avg(v) { const n = num(v); return n === null ? "–" : n.toFixed(3).replace(".", ","); }
  function pair(a, i) { return Array.isArray(a) ? a[i] : null; }
  function clock(ms) {
    const n = num(ms);
    if (n === null) return "";
    const s = Math.floor(n / 1000);
    return String(Math.floor(s / 60)).padStart(2, "0") + ":" + String(s % 60).padStart(2, "0");
  }
  function el(tag, cls, text) {
    const e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    return e;
  }
  function stat(dl, label, value, field) {
    const d = el("div");
    d.append(el("dt", "", label));
    const dd = el("dd", "", value);
    if (field) dd.dataset.field = field;
    d.append(dd);
    dl.append(d);
  }

  function player(s, i) {
    const turn = s.turn === i + 1;
    const sec = el("section", "joueur j" + (i + 1) + (turn ? " au-jeu" : ""));
    sec.setAttribute("aria-label", "Joueur " + (i + 1));
    sec.append(el("h3", "nom", String(pair(s.names, i) ?? "")));
    const total = el("p", "total", int(pair(s.totals, i)));
    total.dataset.field = "total" + (i + 1);
    sec.append(total);
    const dl = el("dl", "stats");
    stat(dl, "Moyenne", avg(pair(s.averages, i)), "moyenne" + (i + 1));
    stat(dl, "Meilleure série", int(pair(s.best, i)));
    stat(dl, "Dernière série", int(pair(s.last, i)));
    const chrono = clock(pair(s.chronoMs, i));
    if (chrono) stat(dl, "Temps", chrono);
    const m = s.match && s.match.active ? s.match : null;
    if (m && Array.isArray(m.distances)) stat(dl, "Distance", int(pair(m.distances, i)));
    if (m && Array.isArray(m.remaining)) stat(dl, "Reste", int(pair(m.remaining, i)));
    sec.append(dl);
    if (turn) sec.append(el("p", "trait", "au jeu"));
    return sec;
  }

  function centre(s) {
    const c = el("section", "centre");
    c.setAttribute("aria-label", "Reprises");
    const dl = el("dl", "stats");
    stat(dl, "Reprises", int(s.innings), "reprises");
    stat(dl, "Série en cours", s.run === null || s.run === undefined ? "--" : int(s.run), "serie");
    if (num(s.generalAverage) !== null) stat(dl, "Moyenne générale", avg(s.generalAverage));
    if (num(s.lapMs) !== null) stat(dl, "Temps de la série", clock(s.lapMs));
    const sc = s.shotClock;
    if (sc && typeof sc === "object" && num(sc.left) !== null) {
      stat(dl, "Temps de coup", int(sc.left) + " s", "shot");
      if (sc.warning) c.classList.add("alerte");
      if (Array.isArray(sc.extensions))
        stat(dl, "Prolongations", int(sc.extensions[0]) + " – " + int(sc.extensions[1]));
    }
    const m = s.match && s.match.active ? s.match : null;
    if (m) {
      if (m.discipline) stat(dl, "Discipline", String(m.discipline));
      if (num(m.limit) !== null) stat(dl, "Limite de reprises", int(m.limit));
    }
    c.append(dl);
    return c;
  }

  function resultText(s) {
    const m = s.match && s.match.active ? s.match : null;
    if (!m) return "";
    if (m.result && typeof m.result === "object") {
      let t = String(m.result.text || "");
      if (Array.isArray(m.result.points)) t += " (points de match " + int(m.result.points[0]) + " – " + int(m.result.points[1]) + ")";
      return t;
    }
    if (m.state === "equalizing") return "Reprise d'égalisation";
    return "";
  }

  function render(t) {
    const s = t.snapshot || {};
    const art = el("article", "table" + (t.online ? "" : " hors-ligne"));
    art.dataset.table = t.table;
    if (typeof s.seq === "number") art.dataset.seq = String(s.seq);
    if (mode === "strip") {
      const strip = el("p", "bande");
      const n1 = el("span", "nom j1" + (s.turn === 1 ? " au-jeu" : ""), String(pair(s.names, 0) ?? ""));
      const t1 = el("span", "total j1", int(pair(s.totals, 0)));
      t1.dataset.field = "total1";
      const mid = el("span", "reprises", "Rep. " + int(s.innings));
      const t2 = el("span", "total j2", int(pair(s.totals, 1)));
      t2.dataset.field = "total2";
      const n2 = el("span", "nom j2" + (s.turn === 2 ? " au-jeu" : ""), String(pair(s.names, 1) ?? ""));
      strip.append(n1, t1, mid, t2, n2);
      const r = resultText(s);
      if (r) strip.append(el("span", "resultat", r));
      art.append(strip);
      return art;
    }
    const h = el("h2", "", t.table + " ");
    const badge = el("span", "etat", t.online ? "en direct" : "hors ligne");
    h.append(badge);
    if (mode === "all") {
      const a = el("a", "plein-ecran", "plein écran");
      a.href = "/table/" + encodeURIComponent(t.table);
      h.append(" ", a);
    }
    art.append(h);
    const grid = el("div", "score");
    grid.append(player(s, 0), centre(s), player(s, 1));
    art.append(grid);
    const r = resultText(s);
    if (r) art.append(el("p", "resultat", r));
    return art;
  }

  function place(t) {
    if (only && t.table !== only) return;
    const card = render(t);
    const old = cards.get(t.table);
    if (old) {
      old.replaceWith(card);
    } else {
      const empty = root.querySelector(".vide");
      if (empty) empty.remove();
      // Tables in the order of their names, as the server lists them.
      let before = null;
      for (const [name, c] of cards)
        if (name.localeCompare(t.table, "fr") > 0 && (!before || before.dataset.table.localeCompare(name, "fr") > 0)) before = c;
      root.insertBefore(card, before);
    }
    cards.set(t.table, card);
    document.body.dataset.seq = card.dataset.seq || "";
  }

  function connect() {
    const proto = location.protocol === "https:" ? "wss:" : "ws:";
    let url = proto + "//" + location.host + "/live/watch";
    if (only) url += "?table=" + encodeURIComponent(only);
    const ws = new WebSocket(url);
    ws.onopen = function () {
      delay = 500;
      if (etat) etat.textContent = "Direct connecté";
      document.body.dataset.connecte = "1";
    };
    ws.onmessage = function (ev) {
      let m;
      try { m = JSON.parse(ev.data); } catch (e) { return; }
      if (m.type === "tables" && Array.isArray(m.tables)) m.tables.forEach(place);
      else if (m.type === "table") place(m);
    };
    ws.onclose = function () {
      document.body.dataset.connecte = "0";
      if (etat) etat.textContent = "Direct interrompu, nouvelle tentative…";
      setTimeout(connect, delay);
      delay = Math.min(delay * 2, 10000);
    };
  }
  connect();
})();
