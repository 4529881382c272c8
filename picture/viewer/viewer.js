// The viewer of `wux view`: draws the model embedded in this page with WebGL 2 (diffuse
// maps, see-through materials, the file's normals), orbits and zooms with the mouse,
// toggles the overlays, and lists the materials in a panel that folds away. It fetches nothing.
// When the first picture is on the canvas it sets data-drawn="yes" on <body> (or "failed"
// with data-error), and counts every picture in data-frames.
(function () {
  "use strict";

  var data = JSON.parse(document.getElementById("wux-data").textContent);
  var body = document.body;
  var canvas = document.getElementById("wux-canvas");
  var panel = document.getElementById("wux-panel");
  var FIELD_OF_VIEW = 0.6; // radians, vertical, as `wux render`
  var littleEndian = new Uint8Array(new Uint32Array([1]).buffer)[0] === 1;

  // children: nodes and text.
  function element(tag, attributes, ...children) {
    var e = document.createElement(tag);
    for (var name in attributes) e.setAttribute(name, attributes[name]);
    e.append(...children);
    return e;
  }

  function swatch(colour) {
    var e = element("span", { "class": "swatch" });
    e.style.background = "rgb(" + colour.map(function (v) { return Math.round(v * 255); }).join(",") + ")";
    return e;
  }

  function count(n) { return Number(n).toLocaleString("en-US"); }
  function plural(n, one, many) { return count(n) + " " + (n === 1 ? one : many); }

  function bytesOf(text) {
    return Uint8Array.from(atob(text), function (c) { return c.charCodeAt(0); });
  }
  // The page's arrays are little-endian; a big-endian machine swaps them into place.
  function decode(text, Type) {
    var bytes = bytesOf(text);
    if (!littleEndian && Type.BYTES_PER_ELEMENT === 4)
      for (var j = 0; j + 3 < bytes.length; j += 4) bytes.subarray(j, j + 4).reverse();
    return new Type(bytes.buffer);
  }

  // ---- the panel ----
  function buildPanel() {
    var fold = element("button", { id: "wux-fold", title: "fold the panel away" }, "\u2039");
    fold.addEventListener("click", function () {
      var folded = panel.classList.toggle("folded");
      fold.textContent = folded ? "\u203a" : "\u2039";
      requestDraw();
    });
    var materials = data.groups.filter(function (g) { return g.fromFile; }).length;
    panel.append(fold, element("h1", {}, data.title),
      element("div", {}, plural(data.meshes, "mesh", "meshes") + " \u00b7 " +
        plural(data.triangles, "triangle", "triangles") + " \u00b7 " + plural(materials, "material", "materials")));
    if (data.droppedTriangles > 0) {
      panel.append(element("div", { "class": "note" }, plural(data.droppedTriangles, "triangle", "triangles") +
        " not drawn: a corner outside its mesh or not a finite number"));
    }
    var table = element("table", { id: "wux-materials" });
    data.groups.forEach(function (g) {
      var colour = swatch(g.colour);
      if (g.opacity < 1) colour.style.opacity = Math.max(0.2, g.opacity);
      table.append(element("tr", {},
        element("td", {}, colour),
        element("td", {}, (g.name === "" ? "(unnamed)" : g.name) +
          (g.texture !== undefined ? " \u00b7 " + data.textures[g.texture].name : "")),
        element("td", { "class": "count", title: "meshes" }, plural(g.meshes, "mesh", "meshes")),
        element("td", { "class": "count", title: "triangles" }, count(g.triangles) + " tri.")));
    });
    panel.append(element("h2", {}, "Materials"), element("div", { "class": "list" }, table), element("h2", {}, "Overlays"));
    data.overlays.forEach(function (o, i) {
      var box = element("input", { type: "checkbox", id: "wux-overlay-" + o.name });
      box.checked = o.shown;
      box.disabled = o.count === 0;
      box.addEventListener("change", function () { overlays[i].shown = box.checked; requestDraw(); });
      panel.append(element("label", o.count === 0 ? { "class": "empty" } : {}, box, " ", swatch(o.colour),
        " " + o.name + " (" + count(o.count) + ")"));
    });
    panel.append(element("div", { "class": "help" },
      "Drag to orbit, shift-drag or right-drag to pan, wheel to zoom, double-click to frame again."));
  }

  function fail(message) {
    body.dataset.drawn = "failed";
    body.dataset.error = message;
    panel.append(element("div", { "class": "error" }, message));
  }

  // ---- small matrix helpers (column-major, as WebGL takes them) ----
  function sub(a, b) { return [a[0] - b[0], a[1] - b[1], a[2] - b[2]]; }
  function cross(a, b) { return [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]]; }
  function dot(a, b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
  function normalise(a) { var l = Math.sqrt(dot(a, a)) || 1; return [a[0] / l, a[1] / l, a[2] / l]; }
  function lookAt(eye, target, up) {
    var f = normalise(sub(target, eye)), r = normalise(cross(f, up)), u = cross(r, f);
    return [r[0], u[0], -f[0], 0, r[1], u[1], -f[1], 0, r[2], u[2], -f[2], 0,
      -dot(r, eye), -dot(u, eye), dot(f, eye), 1];
  }
  function perspective(fovY, aspect, near, far) {
    var f = 1 / Math.tan(fovY / 2);
    return [f / aspect, 0, 0, 0, 0, f, 0, 0, 0, 0, (far + near) / (near - far), -1, 0, 0, 2 * far * near / (near - far), 0];
  }

  // ---- WebGL ----
  var gl = canvas.getContext("webgl2", { antialias: true });
  var groups = [], overlays = [];
  var meshProgram, lineProgram;

  function compile(vertexSource, fragmentSource) {
    function shader(type, source) {
      var s = gl.createShader(type);
      gl.shaderSource(s, source);
      gl.compileShader(s);
      if (!gl.getShaderParameter(s, gl.COMPILE_STATUS)) throw new Error(gl.getShaderInfoLog(s));
      return s;
    }
    var p = gl.createProgram();
    gl.attachShader(p, shader(gl.VERTEX_SHADER, vertexSource));
    gl.attachShader(p, shader(gl.FRAGMENT_SHADER, fragmentSource));
    ["position", "normal", "uv"].forEach(function (name, i) { gl.bindAttribLocation(p, i, name); });
    gl.linkProgram(p);
    if (!gl.getProgramParameter(p, gl.LINK_STATUS)) throw new Error(gl.getProgramInfoLog(p));
    var out = { program: p };
    ["viewMatrix", "projection", "colour", "amount", "opacity"].forEach(function (name) {
      out[name] = gl.getUniformLocation(p, name);
    });
    return out;
  }

  var VERTEX = "#version 300 es\n" +
    "in vec3 position; in vec3 normal; in vec2 uv; uniform mat4 viewMatrix; uniform mat4 projection;\n" +
    "out vec3 viewNormal; out vec2 texCoord;\n" +
    "void main() { viewNormal = mat3(viewMatrix) * normal; texCoord = uv;\n" +
    "  gl_Position = projection * viewMatrix * vec4(position, 1.0); }\n";
  // The file's normals, both sides lit alike, the light over the viewer's left shoulder: the
  // same light as `wux render`. A see-through colour comes premultiplied by its opacity; the
  // blend adds what lies behind, tinted by the filter colour.
  var MESH_FRAGMENT = "#version 300 es\nprecision highp float;\n" +
    "in vec3 viewNormal; in vec2 texCoord; uniform vec3 colour; uniform float amount, opacity;\n" +
    "uniform sampler2D map; out vec4 fragColour;\n" +
    "void main() {\n" +
    "  float l = length(viewNormal);\n" +
    "  float light = 0.3 + 0.7 * (l > 0.0 ? abs(dot(viewNormal / l, normalize(vec3(-0.45, 0.6, 0.65)))) : 0.0);\n" +
    "  vec3 base = amount > 0.0 ? mix(colour, texture(map, texCoord).rgb, amount) : colour;\n" +
    "  fragColour = vec4(base * light * opacity, 1.0);\n" +
    "}\n";
  var LINE_FRAGMENT = "#version 300 es\nprecision highp float;\n" +
    "uniform vec3 colour; out vec4 fragColour;\n" +
    "void main() { fragColour = vec4(colour, 1.0); }\n";

  // attributes: [array, components, type, normalised] for position, normal and uv, in order.
  function upload(attributes, indices) {
    var vao = gl.createVertexArray();
    gl.bindVertexArray(vao);
    attributes.forEach(function (a, i) {
      if (!a) return;
      gl.bindBuffer(gl.ARRAY_BUFFER, gl.createBuffer());
      gl.bufferData(gl.ARRAY_BUFFER, a[0], gl.STATIC_DRAW);
      gl.enableVertexAttribArray(i);
      gl.vertexAttribPointer(i, a[1], a[2], a[3], a[2] === gl.BYTE ? 4 : 0, 0);
    });
    if (indices) {
      gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, gl.createBuffer());
      gl.bufferData(gl.ELEMENT_ARRAY_BUFFER, indices, gl.DYNAMIC_DRAW);
    }
    gl.bindVertexArray(null);
    return vao;
  }

  // Each map decoded from the page's own bytes: nothing is fetched, not even a data: URL.
  function loadTextures() {
    return Promise.all(data.textures.map(function (t) {
      return createImageBitmap(new Blob([bytesOf(t.bytes)], { type: t.type })).then(function (image) {
        var texture = gl.createTexture();
        gl.bindTexture(gl.TEXTURE_2D, texture);
        gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA, gl.RGBA, gl.UNSIGNED_BYTE, image);
        gl.generateMipmap(gl.TEXTURE_2D);
        gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, gl.LINEAR_MIPMAP_LINEAR);
        return texture;
      }, function () { return null; });
    }));
  }

  function setUp(textures) {
    meshProgram = compile(VERTEX, MESH_FRAGMENT);
    lineProgram = compile(VERTEX, LINE_FRAGMENT);
    data.groups.forEach(function (g) {
      var indices = decode(g.indices, Uint32Array);
      if (indices.length === 0) return;
      var positions = decode(g.positions, Float32Array);
      var texture = g.texture !== undefined ? textures[g.texture] : null;
      var group = {
        vao: upload([[positions, 3, gl.FLOAT, false], [decode(g.normals, Int8Array), 3, gl.BYTE, true],
          texture ? [decode(g.uvs, Float32Array), 2, gl.FLOAT, false] : null], indices),
        count: indices.length, colour: g.colour, opacity: g.opacity, filter: g.filter, bounds: g.bounds,
        texture: texture, amount: texture ? g.amount : 0
      };
      if (g.opacity < 1) {
        // See-through triangles are drawn farthest first: their middles, to sort them by.
        group.indices = indices;
        group.middles = new Float32Array(indices.length);
        for (var i = 0; i < indices.length; ++i) {
          for (var k = 0; k < 3; ++k) group.middles[i - i % 3 + k] += positions[3 * indices[i] + k] / 3;
        }
      }
      groups.push(group);
    });
    data.overlays.forEach(function (o) {
      var points = decode(o.lines, Float32Array);
      overlays.push({ vao: points.length ? upload([[points, 3, gl.FLOAT, false]], null) : null, count: points.length / 3, colour: o.colour, shown: o.shown, bounds: o.bounds });
    });
  }

  // ---- the camera: orbits a target, Z up as in the host ----
  var camera = { target: [0, 0, 0], distance: 1, yaw: 0, pitch: 0, radius: 1 };

  // The canvas's pixels left of this are under the panel: the model is framed right of it.
  function panelEdge() {
    if (panel.classList.contains("folded")) return 0;
    return (panel.getBoundingClientRect().right + 10) * (canvas.width / Math.max(1, canvas.clientWidth));
  }

  // Frames the meshes and the overlays shown, from the three-quarter view of `wux render`.
  function frame() {
    var min = [Infinity, Infinity, Infinity], max = [-Infinity, -Infinity, -Infinity];
    groups.concat(overlays.filter(function (o) { return o.shown; })).forEach(function (item) {
      var b = item.bounds;
      if (b) for (var k = 0; k < 3; ++k) { min[k] = Math.min(min[k], b.min[k]); max[k] = Math.max(max[k], b.max[k]); }
    });
    if (min[0] > max[0]) { min = [-0.5, -0.5, -0.5]; max = [0.5, 0.5, 0.5]; }
    camera.target = [(min[0] + max[0]) / 2, (min[1] + max[1]) / 2, (min[2] + max[2]) / 2];
    camera.radius = Math.max(1e-6, Math.sqrt(dot(sub(max, min), sub(max, min))) / 2);
    var aspect = Math.max(1, canvas.width - panelEdge()) / Math.max(1, canvas.height);
    var half = Math.min(FIELD_OF_VIEW / 2, Math.atan(Math.tan(FIELD_OF_VIEW / 2) * aspect));
    camera.distance = camera.radius / Math.sin(half) * 1.02;
    camera.yaw = Math.atan2(-1.3, 1);
    camera.pitch = Math.atan2(0.9, Math.sqrt(1 + 1.3 * 1.3));
  }

  function eye() {
    var c = Math.cos(camera.pitch);
    return [camera.target[0] + camera.distance * c * Math.cos(camera.yaw),
      camera.target[1] + camera.distance * c * Math.sin(camera.yaw),
      camera.target[2] + camera.distance * Math.sin(camera.pitch)];
  }

  var frames = 0, pending = false;
  function requestDraw() {
    if (pending) return;
    pending = true;
    requestAnimationFrame(draw);
  }

  function draw() {
    pending = false;
    var width = Math.max(1, Math.round(canvas.clientWidth * (window.devicePixelRatio || 1)));
    var height = Math.max(1, Math.round(canvas.clientHeight * (window.devicePixelRatio || 1)));
    if (canvas.width !== width || canvas.height !== height) { canvas.width = width; canvas.height = height; }
    gl.viewport(0, 0, width, height);
    gl.clearColor(0.18, 0.2, 0.24, 1);
    gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);

    var near = Math.max(camera.radius * 1e-4, camera.distance - camera.radius * 1.01);
    var far = camera.distance + camera.radius * 1.01;
    var projection = perspective(FIELD_OF_VIEW, width / height, near, far);
    projection[8] = -Math.min(panelEdge(), width - 1) / width;  // the middle of the canvas right of the panel
    var view = lookAt(eye(), camera.target, [0, 0, 1]);
    function viewDepth(p) { return view[2] * p[0] + view[6] * p[1] + view[10] * p[2]; }

    gl.enable(gl.DEPTH_TEST);
    gl.useProgram(meshProgram.program);
    gl.uniformMatrix4fv(meshProgram.viewMatrix, false, view);
    gl.uniformMatrix4fv(meshProgram.projection, false, projection);
    function drawGroup(g) {
      gl.uniform3fv(meshProgram.colour, g.colour);
      gl.uniform1f(meshProgram.amount, g.amount);
      gl.uniform1f(meshProgram.opacity, g.opacity);
      gl.bindTexture(gl.TEXTURE_2D, g.texture);
      gl.bindVertexArray(g.vao);
      gl.drawElements(gl.TRIANGLES, g.count, gl.UNSIGNED_INT, 0);
    }
    groups.forEach(function (g) { if (g.opacity >= 1) drawGroup(g); });
    // See-through groups after the opaque ones, farthest first and each triangle farthest
    // first, so that the picture does not depend on the file's order.
    var seeThrough = groups.filter(function (g) { return g.opacity < 1; });
    seeThrough.sort(function (a, b) {
      return viewDepth(a.bounds.min) + viewDepth(a.bounds.max) - viewDepth(b.bounds.min) - viewDepth(b.bounds.max);
    });
    gl.enable(gl.BLEND);
    gl.blendFunc(gl.ONE, gl.CONSTANT_COLOR);
    gl.depthMask(false);
    seeThrough.forEach(function (g) {
      var triangles = g.count / 3, depth = new Float32Array(triangles), order = new Uint32Array(triangles);
      for (var t = 0; t < triangles; ++t) {
        depth[t] = viewDepth(g.middles.subarray(3 * t, 3 * t + 3));
        order[t] = t;
      }
      order.sort(function (a, b) { return depth[a] - depth[b]; });
      var sorted = new Uint32Array(g.count);
      for (var i = 0; i < triangles; ++i) sorted.set(g.indices.subarray(3 * order[i], 3 * order[i] + 3), 3 * i);
      gl.bindVertexArray(g.vao);
      gl.bufferSubData(gl.ELEMENT_ARRAY_BUFFER, 0, sorted);
      gl.blendColor((1 - g.opacity) * g.filter[0], (1 - g.opacity) * g.filter[1], (1 - g.opacity) * g.filter[2], 0);
      drawGroup(g);
    });
    gl.depthMask(true);
    gl.disable(gl.BLEND);
    // Overlays over everything, as `wux render` draws them: helpers inside a mesh stay visible.
    gl.disable(gl.DEPTH_TEST);
    gl.useProgram(lineProgram.program);
    gl.uniformMatrix4fv(lineProgram.viewMatrix, false, view);
    gl.uniformMatrix4fv(lineProgram.projection, false, projection);
    overlays.forEach(function (o) {
      if (!o.shown || !o.vao) return;
      gl.uniform3fv(lineProgram.colour, o.colour);
      gl.bindVertexArray(o.vao);
      gl.drawArrays(gl.LINES, 0, o.count);
    });
    gl.bindVertexArray(null);

    frames += 1;
    body.dataset.frames = String(frames);
    if (body.dataset.drawn !== "yes") {
      var error = gl.getError();
      if (error !== gl.NO_ERROR) { fail("WebGL error " + error + " while drawing"); return; }
      body.dataset.drawn = "yes";
    }
  }

  // ---- the mouse ----
  function bindInput() {
    var dragging = null;
    canvas.addEventListener("contextmenu", function (e) { e.preventDefault(); });
    canvas.addEventListener("pointerdown", function (e) {
      dragging = { x: e.clientX, y: e.clientY, pan: e.shiftKey || e.button === 2 };
      canvas.setPointerCapture(e.pointerId);
    });
    canvas.addEventListener("pointerup", function () { dragging = null; });
    canvas.addEventListener("pointermove", function (e) {
      if (!dragging) return;
      var dx = e.clientX - dragging.x, dy = e.clientY - dragging.y;
      dragging.x = e.clientX;
      dragging.y = e.clientY;
      if (dragging.pan) {
        // The view's right and up axes, as the picture's matrix holds them.
        var view = lookAt(eye(), camera.target, [0, 0, 1]);
        var scale = 2 * camera.distance * Math.tan(FIELD_OF_VIEW / 2) / Math.max(1, canvas.clientHeight);
        for (var k = 0; k < 3; ++k) camera.target[k] += (-dx * view[4 * k] + dy * view[4 * k + 1]) * scale;
      } else {
        camera.yaw -= dx * 0.01;
        camera.pitch = Math.max(-1.55, Math.min(1.55, camera.pitch + dy * 0.01));
      }
      requestDraw();
    });
    canvas.addEventListener("wheel", function (e) {
      e.preventDefault();
      camera.distance = Math.max(camera.radius * 1e-3, Math.min(camera.radius * 1e3, camera.distance * Math.exp(e.deltaY * 0.001)));
      requestDraw();
    }, { passive: false });
    canvas.addEventListener("dblclick", function () { frame(); requestDraw(); });
    window.addEventListener("resize", requestDraw);
  }

  buildPanel();
  if (!gl) {
    fail("This browser cannot draw the model: WebGL 2 is not available.");
    return;
  }
  loadTextures().then(function (textures) {
    try {
      setUp(textures);
    } catch (e) {
      fail("The viewer could not start: " + e.message);
      return;
    }
    canvas.width = Math.max(1, canvas.clientWidth);
    canvas.height = Math.max(1, canvas.clientHeight);
    frame();
    bindInput();
    requestDraw();
  });
})();
