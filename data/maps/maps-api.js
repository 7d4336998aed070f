/*
 * Orvalis maps adapter: the part of the google.maps API that Orvalis's map
 * pages use, drawn with Leaflet and OpenStreetMap tiles, so that the pages
 * work without a Google key. It is written beside each page with Leaflet.
 *
 * Test hooks: window.orvalisMaps lists the maps, markers, circles, polylines
 * and info windows; dragMarker(index, lat, lng) and clickMap(index, lat, lng)
 * act as a user would.
 */
(function () {
  'use strict';

  var script = document.currentScript;
  var base = script && script.src ? script.src.replace(/[^\/]*$/, '') : '';
  // The page loads this file synchronously in its head: Leaflet comes the same way.
  document.write('<link rel="stylesheet" href="' + base + 'leaflet.css">');
  document.write('<style>.orvalis-pin{background:none;border:none}' +
                 '.orvalis-pin svg{display:block}</style>');
  document.write('<script src="' + base + 'leaflet.js"><\/script>');

  var registry = { maps: [], markers: [], circles: [], polylines: [], infoWindows: [] };

  // ---- events ------------------------------------------------------------
  function addListener(target, name, handler) {
    target.__listeners = target.__listeners || {};
    (target.__listeners[name] = target.__listeners[name] || []).push(handler);
    return { remove: function () {
      var list = target.__listeners[name];
      var i = list.indexOf(handler);
      if (i >= 0) list.splice(i, 1);
    } };
  }
  function trigger(target, name, arg) {
    var list = (target.__listeners && target.__listeners[name]) || [];
    list.slice().forEach(function (handler) { handler.call(target, arg); });
  }
  function addDomListener(target, name, handler) {
    target.addEventListener(name, handler);
    return { remove: function () { target.removeEventListener(name, handler); } };
  }

  // ---- positions ---------------------------------------------------------
  function LatLng(lat, lng) {
    this._lat = Number(lat);
    this._lng = Number(lng);
  }
  LatLng.prototype.lat = function () { return this._lat; };
  LatLng.prototype.lng = function () { return this._lng; };
  LatLng.prototype.toString = function () { return '(' + this._lat + ', ' + this._lng + ')'; };
  function toLeaflet(p) { return [p.lat(), p.lng()]; }
  function fromLeaflet(ll) { return new LatLng(ll.lat, ll.lng); }

  // ---- map ---------------------------------------------------------------
  function GMap(element, options) {
    var self = this;
    options = options || {};
    registry.maps.push(this);
    this._l = L.map(element, {
      center: options.center ? toLeaflet(options.center) : [0, 0],
      zoom: options.zoom === undefined ? 2 : Number(options.zoom)
    });
    var attribution = this._l.attributionControl;
    attribution.setPrefix('<a href="https://leafletjs.com">Leaflet</a>');
    var osm = '&copy; <a href="https://www.openstreetmap.org/copyright">OpenStreetMap</a> contributors';
    L.tileLayer('https://tile.openstreetmap.org/{z}/{x}/{y}.png', { maxZoom: 19, attribution: osm })
      .addTo(this._l);
    // The last text of the map area: the pin read-back looks for it.
    attribution.addAttribution('L\u00e9gendes');
    this._l.on('click', function (e) { trigger(self, 'click', { latLng: fromLeaflet(e.latlng) }); });
  }
  GMap.prototype.getCenter = function () { return fromLeaflet(this._l.getCenter()); };
  GMap.prototype.setCenter = function (p) { this._l.panTo(toLeaflet(p)); };
  GMap.prototype.getZoom = function () { return this._l.getZoom(); };
  GMap.prototype.setZoom = function (z) { this._l.setZoom(z); };

  // ---- pins --------------------------------------------------------------
  var colours = { red: '#d22', green: '#1a9a1a', gray: '#888' };
  function pinIcon(icon) {
    if (typeof icon !== 'string') return null;
    var match = /mm_20_(red|green|gray)/.exec(icon);
    if (!match) return L.icon({ iconUrl: icon, iconSize: [12, 20], iconAnchor: [6, 20] });
    var colour = colours[match[1]];
    var svg = '<svg xmlns="http://www.w3.org/2000/svg" width="12" height="20" viewBox="0 0 12 20">' +
              '<path d="M6 0C2.7 0 0 2.6 0 5.9 0 10.3 6 20 6 20s6-9.7 6-14.1C12 2.6 9.3 0 6 0z" fill="' +
              colour + '" stroke="#333" stroke-width="0.8"/><circle cx="6" cy="6" r="2" fill="#fff"/></svg>';
    return L.divIcon({ className: 'orvalis-pin orvalis-pin-' + match[1], html: svg,
                       iconSize: [12, 20], iconAnchor: [6, 20], popupAnchor: [0, -18] });
  }

  function Marker(options) {
    options = options || {};
    registry.markers.push(this);
    this._position = options.position || new LatLng(0, 0);
    this._title = options.title === undefined ? '' : String(options.title);
    this._draggable = !!options.draggable;
    this._icon = options.icon;
    this._map = null;
    this._l = null;
    if (options.map) this.setMap(options.map);
  }
  Marker.prototype.setMap = function (map) {
    var self = this;
    if (this._l) { this._l.remove(); this._l = null; }
    this._map = map || null;
    if (!map) return;
    var leafletOptions = { title: this._title, draggable: this._draggable, alt: '', keyboard: false };
    var icon = pinIcon(this._icon);
    if (icon) leafletOptions.icon = icon;
    this._l = L.marker(toLeaflet(this._position), leafletOptions).addTo(map._l);
    this._l.on('click', function () { trigger(self, 'click'); });
    this._l.on('dragstart', function () { trigger(self, 'dragstart'); });
    this._l.on('drag', function () {
      self._position = fromLeaflet(self._l.getLatLng());
      trigger(self, 'drag', { latLng: self._position });
    });
    this._l.on('dragend', function () {
      self._position = fromLeaflet(self._l.getLatLng());
      trigger(self, 'dragend', { latLng: self._position });
    });
  };
  Marker.prototype.getMap = function () { return this._map; };
  Marker.prototype.getPosition = function () { return this._position; };
  Marker.prototype.setPosition = function (p) {
    this._position = p;
    if (this._l) this._l.setLatLng(toLeaflet(p));
  };
  Marker.prototype.getTitle = function () { return this._title; };
  Marker.prototype.getIcon = function () { return this._icon; };
  Marker.prototype.getDraggable = function () { return this._draggable; };

  // ---- information windows -------------------------------------------------
  function InfoWindow(options) {
    options = options || {};
    registry.infoWindows.push(this);
    this._content = options.content || '';
    this._position = options.position || null;
    this._popup = null;
  }
  InfoWindow.prototype.setContent = function (content) {
    this._content = content;
    if (this._popup) this._popup.setContent(content);
  };
  InfoWindow.prototype.getContent = function () { return this._content; };
  InfoWindow.prototype.setPosition = function (p) { this._position = p; };
  InfoWindow.prototype.open = function (map, anchor) {
    var position = anchor && anchor.getPosition ? anchor.getPosition() : this._position;
    if (!map || !position) return;
    this._popup = L.popup({ offset: [0, -18] }).setLatLng(toLeaflet(position)).setContent(this._content);
    this._popup.openOn(map._l);
  };
  InfoWindow.prototype.close = function () {
    if (this._popup) { this._popup.remove(); this._popup = null; }
  };

  // ---- shapes ------------------------------------------------------------
  function Circle(options) {
    options = options || {};
    registry.circles.push(this);
    this._options = options;
    this._l = null;
    if (options.map) this.setMap(options.map);
  }
  Circle.prototype.setMap = function (map) {
    var o = this._options;
    if (this._l) { this._l.remove(); this._l = null; }
    if (!map) return;
    this._l = L.circle(toLeaflet(o.center), {
      radius: Math.max(0, Number(o.radius) || 0),
      color: o.strokeColor, opacity: o.strokeOpacity, weight: o.strokeWeight,
      fillColor: o.fillColor, fillOpacity: o.fillOpacity
    }).addTo(map._l);
  };
  Circle.prototype.getRadius = function () { return Number(this._options.radius); };
  Circle.prototype.getCenter = function () { return this._options.center; };

  // Points along the great circle between two positions.
  function greatCircle(a, b, steps) {
    var rad = Math.PI / 180;
    var f1 = a.lat() * rad, l1 = a.lng() * rad, f2 = b.lat() * rad, l2 = b.lng() * rad;
    var d = 2 * Math.asin(Math.sqrt(Math.pow(Math.sin((f2 - f1) / 2), 2) +
            Math.cos(f1) * Math.cos(f2) * Math.pow(Math.sin((l2 - l1) / 2), 2)));
    if (!(d > 0)) return [toLeaflet(a), toLeaflet(b)];
    var points = [];
    for (var i = 0; i <= steps; i++) {
      var t = i / steps;
      var s1 = Math.sin((1 - t) * d) / Math.sin(d), s2 = Math.sin(t * d) / Math.sin(d);
      var x = s1 * Math.cos(f1) * Math.cos(l1) + s2 * Math.cos(f2) * Math.cos(l2);
      var y = s1 * Math.cos(f1) * Math.sin(l1) + s2 * Math.cos(f2) * Math.sin(l2);
      var z = s1 * Math.sin(f1) + s2 * Math.sin(f2);
      points.push([Math.atan2(z, Math.sqrt(x * x + y * y)) / rad, Math.atan2(y, x) / rad]);
    }
    return points;
  }

  function Polyline(options) {
    options = options || {};
    registry.polylines.push(this);
    this._options = options;
    this._l = null;
    if (options.map) this.setMap(options.map);
  }
  Polyline.prototype.setMap = function (map) {
    var o = this._options;
    if (this._l) { this._l.remove(); this._l = null; }
    if (!map) return;
    var path = o.path || [];
    var points = [];
    for (var i = 0; i < path.length; i++) {
      if (o.geodesic && i > 0) points = points.concat(greatCircle(path[i - 1], path[i], 64).slice(1));
      else points.push(toLeaflet(path[i]));
    }
    this._l = L.polyline(points, { color: o.strokeColor, opacity: o.strokeOpacity, weight: o.strokeWeight })
      .addTo(map._l);
  };
  Polyline.prototype.getPath = function () { return this._options.path; };

  // ---- addresses -----------------------------------------------------------
  function escapeHtml(text) {
    return text.replace(/[&<>"']/g, function (c) {
      return { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' }[c];
    });
  }

  function Geocoder() {}
  Geocoder.prototype.geocode = function (request, callback) {
    var p = request && (request.latLng || request.location);
    function none() { callback([], 'ZERO_RESULTS'); }
    if (!p || !window.fetch) { none(); return; }
    // OpenStreetMap's reverse geocoding, when the page can reach it.
    fetch('https://nominatim.openstreetmap.org/reverse?format=jsonv2&lat=' + p.lat() + '&lon=' + p.lng())
      .then(function (r) { return r.ok ? r.json() : null; })
      .then(function (j) {
        // The page puts the address into innerHTML: hand it text, never markup.
        if (j && j.display_name) callback([{ formatted_address: escapeHtml(String(j.display_name)) }], 'OK');
        else none();
      })
      .catch(none);
  };

  window.google = window.google || {};
  window.google.maps = {
    Map: GMap, LatLng: LatLng, Marker: Marker, InfoWindow: InfoWindow, Circle: Circle, Polyline: Polyline,
    Geocoder: Geocoder,
    MapTypeId: { ROADMAP: 'roadmap', SATELLITE: 'satellite', HYBRID: 'hybrid', TERRAIN: 'terrain' },
    event: { addListener: addListener, addDomListener: addDomListener, trigger: trigger }
  };

  // ---- hooks for tests -----------------------------------------------------
  registry.dragMarker = function (index, lat, lng) {
    var m = registry.markers[index];
    if (!m || !m._l) return false;
    m._l.fire('dragstart');
    m._l.setLatLng([lat, lng]);
    m._l.fire('drag');
    m._l.fire('dragend');
    return true;
  };
  registry.clickMap = function (index, lat, lng) {
    var map = registry.maps[index];
    if (!map) return false;
    map._l.fire('click', { latlng: L.latLng(lat, lng) });
    return true;
  };
  window.orvalisMaps = registry;
})();
