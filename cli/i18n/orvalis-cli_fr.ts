<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>Cli</name>
    <message>
        <location filename="../../src/files/gpx_codec.cpp" line="359"/>
        <source>not a GPX file</source>
        <translation>ce n&apos;est pas un fichier GPX</translation>
    </message>
    <message>
        <location filename="../../src/files/geojson_codec.cpp" line="228"/>
        <source>not a GeoJSON file</source>
        <translation>ce n&apos;est pas un fichier GeoJSON</translation>
    </message>
    <message>
        <location filename="../../src/files/kml_codec.cpp" line="123"/>
        <source>not a KML file</source>
        <translation>ce n&apos;est pas un fichier KML</translation>
    </message>
    <message>
        <location filename="../usage.cpp" line="58"/>
        <source>read IN and write every POI to OUT in file order (--sort name: by name;
--sort distance: the order the window gives a loaded file); prints
&quot;&lt;n&gt; POIs&quot;, the POIs written. Nothing a format can hold is lost:
coordinates as written, every GPX field and extension (GPX 1.1 is
written), GeoJSON properties, KML ExtendedData, CSV columns. --gpx11
also writes longitude 180 as -180, for tools that check the schema.</source>
        <translation>lit IN et écrit chaque POI dans OUT dans l&apos;ordre du fichier (--sort name :
par nom ; --sort distance : l&apos;ordre que la fenêtre donne à un fichier chargé) ;
affiche « &lt;n&gt; POI », les POI écrits. Rien de ce qu&apos;un format peut tenir n&apos;est
perdu : les coordonnées telles qu&apos;écrites, chaque champ et extension GPX (le GPX
écrit est du GPX 1.1), les propriétés GeoJSON, les ExtendedData KML, les
colonnes CSV. --gpx11 écrit en plus la longitude 180 comme -180, pour les outils
qui vérifient le schéma.</translation>
    </message>
    <message>
        <location filename="../usage.cpp" line="65"/>
        <source>load IN, with --base run the distance run from row N; print one line per
row, the seven fields separated by tabs, or with --json a JSON array of
objects (number, latitude, longitude, description, distance, metres,
key, cap).</source>
        <translation>charge IN, avec --base calcule les distances depuis la ligne N ; affiche
une ligne par ligne du tableau, les sept champs séparés par des tabulations, ou
avec --json un tableau JSON d&apos;objets (number, latitude, longitude, description,
distance, metres, key, cap).</translation>
    </message>
    <message>
        <location filename="../usage.cpp" line="78"/>
        <source>read two or more files, in order, into one table (file order, not sorted)
and write it to OUT, which must not be one of the inputs; prints &quot;&lt;n&gt; POIs&quot;.</source>
        <translation>lit deux fichiers ou plus, dans l&apos;ordre, en un seul tableau (ordre des
fichiers, sans tri) et l&apos;écrit dans OUT, qui ne doit être aucune des entrées ;
affiche « &lt;n&gt; POI ».</translation>
    </message>
    <message>
        <location filename="../usage.cpp" line="81"/>
        <source>keep the first of POIs whose distance, in whole metres truncated, is at
most M (with --same-name, only when their descriptions are equal ignoring
case and accents), in file order; prints &quot;&lt;d&gt; duplicates removed, &lt;n&gt; POIs&quot;.</source>
        <translation>garde le premier des POI dont la distance, en mètres entiers tronqués, est
au plus M (avec --same-name, seulement quand leurs descriptions sont égales aux
majuscules et accents près), dans l&apos;ordre du fichier ; affiche « &lt;d&gt; doublons
retirés, &lt;n&gt; POI ».</translation>
    </message>
    <message>
        <location filename="../usage.cpp" line="85"/>
        <source>keep the POIs of IN within D km of the route: each route and each track
segment of ROUTE when it is a GPX file that has some (a line apiece),
otherwise its POIs in order. Distances to the great-circle segments,
clamped to their ends; output in route order, then by distance from the
route; prints &quot;&lt;n&gt; POIs&quot;. ROUTE &apos;-&apos; takes --route-from, else --from.</source>
        <translation>garde les POI de IN à D km au plus de la route : chaque route et chaque
segment de trace de ROUTE quand c&apos;est un fichier GPX qui en a (une ligne
chacun), sinon ses POI dans l&apos;ordre. Distances aux segments de grand cercle,
bornées à leurs extrémités ; sortie dans l&apos;ordre de la route, puis par distance
à la route ; affiche « &lt;n&gt; POI ». ROUTE « - » prend --route-from, sinon --from.</translation>
    </message>
    <message>
        <location filename="../usage.cpp" line="90"/>
        <source>distance and initial bearing</source>
        <translation>distance et cap initial</translation>
    </message>
    <message>
        <location filename="../usage.cpp" line="91"/>
        <source>destination latitude and longitude</source>
        <translation>latitude et longitude de la destination</translation>
    </message>
    <message>
        <location filename="../usage.cpp" line="93"/>
        <source>crossing of route 1-2 with route 3-4: &quot;latX lonX&quot;, then
&quot;L1 L2 d1 d2 d3 d4&quot;; &quot;parallel&quot; then &quot;L1 L2&quot; for parallel routes.</source>
        <translation>croisement de la route 1-2 avec la route 3-4 : « latX lonX », puis
« L1 L2 d1 d2 d3 d4 » ; « parallel » puis « L1 L2 » pour des routes parallèles.</translation>
    </message>
    <message>
        <location filename="../usage.cpp" line="39"/>
        <source>
Exit codes: 0 done; 1 a failure while working (a file or the standard output
that cannot be written, no crossing that can be computed); 2 bad usage or bad
input (a number that is not one or out of range, --base past the last row, a
file that cannot be read or is not of its format, an output that is an input).
</source>
        <translation>
Codes de sortie : 0 terminé ; 1 échec en cours de travail (un fichier ou la
sortie standard qu&apos;on ne peut écrire, un croisement incalculable) ; 2 mauvais
usage ou mauvaise entrée (un nombre qui n&apos;en est pas un ou hors limites, --base
au-delà de la dernière ligne, un fichier illisible ou qui n&apos;est pas de son
format, une sortie qui est une entrée).
</translation>
    </message>
    <message>
        <location filename="../usage.cpp" line="109"/>
        <source>Usage: orvalis-cli %1

%2
</source>
        <translation>Usage : orvalis-cli %1

%2
</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="50"/>
        <source>cannot write the standard output</source>
        <translation>impossible d&apos;écrire sur la sortie standard</translation>
    </message>
    <message>
        <location filename="../main.cpp" line="41"/>
        <source>unknown command &quot;%1&quot; (see --help)</source>
        <translation>commande « %1 » inconnue (voir --help)</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="81"/>
        <source>%1 needs a value</source>
        <translation>%1 demande une valeur</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="109"/>
        <source>unknown option %1 (see --help)</source>
        <translation>option %1 inconnue (voir --help)</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="111"/>
        <source>expected %1 arguments, got %2 (see --help)</source>
        <translation>%1 arguments attendus, %2 donnés (voir --help)</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="120"/>
        <source>%1 (&quot;%2&quot;) is not a number</source>
        <translation>%1 (« %2 ») n&apos;est pas un nombre</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="122"/>
        <source>%1 (&quot;%2&quot;) is too large</source>
        <translation>%1 (« %2 ») est trop grand</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="130"/>
        <source>argument %1</source>
        <translation>argument %1</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="144"/>
        <source>%1 (&quot;%2&quot;) is not a latitude: it must lie in [-90, 90]</source>
        <translation>%1 (« %2 ») n&apos;est pas une latitude : elle doit être dans [-90, 90]</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="152"/>
        <source>%1 (&quot;%2&quot;) is not a longitude: it must lie in [-180, 180]</source>
        <translation>%1 (« %2 ») n&apos;est pas une longitude : elle doit être dans [-180, 180]</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="160"/>
        <source>%1 takes a distance of 0 or more</source>
        <translation>%1 demande une distance positive ou nulle</translation>
    </message>
    <message>
        <location filename="../cli_tables.cpp" line="17"/>
        <source>%1 %2: unknown format (%3)</source>
        <translation>%1 %2 : format inconnu (%3)</translation>
    </message>
    <message>
        <location filename="../cli_tables.cpp" line="20"/>
        <source>&apos;-&apos; needs %1 FORMAT</source>
        <translation>« - » demande %1 FORMAT</translation>
    </message>
    <message>
        <location filename="../cli_tables.cpp" line="27"/>
        <source>%1: unknown extension (%2)</source>
        <translation>%1 : extension inconnue (%2)</translation>
    </message>
    <message>
        <location filename="../cli_tables.cpp" line="42"/>
        <source>only one input may be the standard input</source>
        <translation>une seule entrée peut être l&apos;entrée standard</translation>
    </message>
    <message>
        <location filename="../cli_tables.cpp" line="56"/>
        <source>cannot read the standard input</source>
        <translation>impossible de lire l&apos;entrée standard</translation>
    </message>
    <message>
        <location filename="../cli_records.cpp" line="30"/>
        <location filename="../cli_tables.cpp" line="61"/>
        <source>%1: cannot read the file</source>
        <translation>%1 : impossible de lire le fichier</translation>
    </message>
    <message>
        <location filename="../cli_records.cpp" line="48"/>
        <source>%1: reading failed</source>
        <translation>%1 : la lecture a échoué</translation>
    </message>
    <message>
        <location filename="../cli_records.cpp" line="50"/>
        <source>%1: a record longer than 256 MiB: the file is damaged or not of its format</source>
        <translation>%1 : un enregistrement de plus de 256 Mio : le fichier est abîmé ou n&apos;est pas de son format</translation>
    </message>
    <message>
        <location filename="../cli_tables.cpp" line="109"/>
        <source>%1: record %2 has no valid coordinates (latitude &quot;%3&quot;, longitude &quot;%4&quot;; latitudes lie in [-90, 90], longitudes in [-180, 180])</source>
        <translation>%1 : l&apos;enregistrement %2 n&apos;a pas de coordonnées valides (latitude « %3 », longitude « %4 » ; les latitudes sont dans [-90, 90], les longitudes dans [-180, 180])</translation>
    </message>
    <message>
        <location filename="../../src/files/poi_codec.cpp" line="129"/>
        <source>%1: %2 invalid records left out, the first is record %3</source>
        <translation>%1 : %2 enregistrements invalides écartés, le premier est l&apos;enregistrement %3</translation>
    </message>
    <message>
        <location filename="../../src/files/ov2_codec.cpp" line="140"/>
        <source>not an OV2 file</source>
        <translation>ce n&apos;est pas un fichier OV2</translation>
    </message>
    <message>
        <location filename="../../src/files/ov2_codec.cpp" line="186"/>
        <source>%1: damaged OV2 file: the record after POI %2 is no OV2 record</source>
        <translation>%1 : fichier OV2 endommagé : l&apos;enregistrement qui suit le POI %2 n&apos;est pas un enregistrement OV2</translation>
    </message>
    <message>
        <location filename="../../src/files/ov2_codec.cpp" line="191"/>
        <source>%1: damaged OV2 file: %2 bytes that are no OV2 record left out</source>
        <translation>%1 : fichier OV2 endommagé : %2 octets qui ne sont pas des enregistrements OV2 écartés</translation>
    </message>
    <message>
        <location filename="../../src/files/csv_codec.cpp" line="413"/>
        <source>%1: the CSV header names no latitude and longitude columns</source>
        <translation>%1 : l&apos;en-tête CSV ne nomme pas de colonnes de latitude et de longitude</translation>
    </message>
    <message>
        <location filename="../../src/files/csv_codec.cpp" line="415"/>
        <source>%1: CSV record %2 has no two numbers for coordinates</source>
        <translation>%1 : l&apos;enregistrement CSV %2 n&apos;a pas deux nombres pour coordonnées</translation>
    </message>
    <message>
        <location filename="../../src/files/gpx_codec.cpp" line="403"/>
        <source>%1: no waypoints; its routes and tracks are not read as POIs</source>
        <translation>%1 : aucun waypoint ; ses routes et traces ne sont pas lues comme des POI</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="169"/>
        <source>--base takes a row number from 1</source>
        <translation>--base demande un numéro de ligne à partir de 1</translation>
    </message>
    <message>
        <location filename="../cli_tables.cpp" line="164"/>
        <source>--base %1: the file has %2 rows</source>
        <translation>--base %1 : le fichier a %2 lignes</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="32"/>
        <source>cannot create a temporary file: %1</source>
        <translation>impossible de créer un fichier temporaire : %1</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="30"/>
        <location filename="../main.cpp" line="80"/>
        <source>cannot write the standard output: %1</source>
        <translation>impossible d&apos;écrire sur la sortie standard : %1</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="36"/>
        <source>not a regular file, or a link that may not be followed</source>
        <translation>ce n&apos;est pas un fichier ordinaire, ou c&apos;est un lien qui ne doit pas être suivi</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="37"/>
        <source>its folder is not writable</source>
        <translation>son dossier n&apos;est pas accessible en écriture</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="38"/>
        <source>writing failed</source>
        <translation>l&apos;écriture a échoué</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="39"/>
        <source>%1: cannot write the file (%2); nothing was changed</source>
        <translation>%1 : impossible d&apos;écrire le fichier (%2) ; rien n&apos;a été modifié</translation>
    </message>
    <message>
        <location filename="../cli_records.cpp" line="144"/>
        <source>%1: written, but its group could not be kept</source>
        <translation>%1 : écrit, mais son groupe n&apos;a pas pu être conservé</translation>
    </message>
    <message>
        <location filename="../../src/files/poi_codec.cpp" line="124"/>
        <source>%1: %2</source>
        <translation>%1 : %2</translation>
    </message>
    <message>
        <location filename="../cli_records.cpp" line="149"/>
        <source>cannot write a temporary file: %1</source>
        <translation>impossible d&apos;écrire un fichier temporaire : %1</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="175"/>
        <source>%1 POIs</source>
        <translation>%1 POI</translation>
    </message>
    <message>
        <location filename="../convert_command.cpp" line="16"/>
        <source>--sort takes name or distance</source>
        <translation>--sort demande name ou distance</translation>
    </message>
    <message>
        <location filename="../cli_tables.cpp" line="28"/>
        <location filename="../near_command.cpp" line="110"/>
        <source>or</source>
        <translation>ou</translation>
    </message>
    <message>
        <location filename="../usage.cpp" line="10"/>
        <source>Usage: orvalis-cli COMMAND ARGUMENTS   (orvalis-cli COMMAND --help for one command)
       orvalis-cli --help | --version

A number argument may use &apos;.&apos; or &apos;,&apos; as its decimal separator; anything that
is not a number stops the command. Numbers are written with the separator of
your locale (LC_ALL=fr_FR.UTF-8 gives &apos;,&apos;, LC_ALL=C gives &apos;.&apos;); JSON always
uses &apos;.&apos;. Messages are in French when the locale is French, else in English.

Files are read and written as OV2, GPX, CSV, GeoJSON (.geojson, .json), KML,
GPI (Garmin), ASC (TomTom) or KMZ (zipped KML), chosen by extension or by
--from/--to FORMAT; &apos;-&apos; is standard input or output
(then --from/--to is needed). CSV is written in UTF-8 with a header
(latitude,longitude,name, then the other fields); --to window-csv gives the
window&apos;s layout. CSV
coordinates may be read in degrees and minutes (&quot;N48 51.123&quot;). File names
are used byte for byte. An existing output file is replaced only by a
complete one, never written in place.
Latitudes must lie in [-90, 90] and longitudes in [-180, 180]: a file that is
not of its format, or a record out of range or without coordinates, stops the
command naming the file and the first bad record; with --skip-invalid such
records are left out and counted on standard error.

A GPI file written holds one category, --gpi-category NAME (else the output
file&apos;s name without its extension), the default bitmap, and a proximity alert
of --gpi-alert-m M metres (0 to 65535) on every POI without a &quot;proximity&quot;
field of its own; a &quot;speed&quot; field (km/h) gives a speed alert. Its coordinates
are Garmin&apos;s units (2^31 to 180 degrees): writing moves a coordinate by at
most 4.7 mm, and one with up to 7 decimals reads back as written. What a GPI
holds beyond a waypoint travels as the fields &quot;category&quot;, &quot;proximity&quot;,
&quot;speed&quot;, &quot;street&quot;, &quot;house_number&quot;, &quot;postal_code&quot;, &quot;city&quot;, &quot;state&quot;,
&quot;country&quot;, &quot;phone&quot;, &quot;phone2&quot;, &quot;fax&quot;, &quot;email&quot; and &quot;web&quot;. An ASC file holds
one text a POI (name and description joined). A KMZ is read within limits:
an archive of 1 GiB at most, whose KML inflates to 4 GiB at most and, past
64 MiB, to 100 times the archive&apos;s size at most.

Distances are great-circle distances on a sphere of radius 6,378,138 m
(spherical law of cosines on coordinates held as 32-bit floats), truncated to
whole metres.

Commands:
</source>
        <translation>Usage : orvalis-cli COMMANDE ARGUMENTS   (orvalis-cli COMMANDE --help pour une commande)
       orvalis-cli --help | --version

Un argument numérique peut utiliser « . » ou « , » comme séparateur décimal ;
ce qui n&apos;est pas un nombre arrête la commande. Les nombres sont écrits avec le
séparateur de votre locale (LC_ALL=fr_FR.UTF-8 donne « , », LC_ALL=C donne
« . ») ; le JSON utilise toujours « . ». Les messages sont en français quand la
locale est française, en anglais sinon.

Les fichiers sont lus et écrits en OV2, GPX, CSV, GeoJSON (.geojson, .json),
KML, GPI (Garmin), ASC (TomTom) ou KMZ (KML zippé), choisis par l&apos;extension ou
par --from/--to FORMAT ; « - » est l&apos;entrée ou
la sortie standard (il faut alors --from/--to). Le CSV est écrit en UTF-8 avec
un en-tête (latitude,longitude,name, puis les autres champs) ; --to window-csv
donne la disposition de la fenêtre. Les coordonnées CSV peuvent être lues en
degrés et minutes (« N48 51.123 »). Les noms de fichiers sont pris octet par
octet. Un fichier de sortie existant n&apos;est remplacé que par un fichier complet,
jamais écrit sur place. Les latitudes doivent être dans [-90, 90] et les
longitudes dans [-180, 180] : un fichier qui n&apos;est pas de son format, ou un
enregistrement hors limites ou sans coordonnées, arrête la commande en nommant
le fichier et le premier enregistrement fautif ; avec --skip-invalid ces
enregistrements sont écartés et comptés sur la sortie d&apos;erreur.

Un fichier GPI écrit contient une catégorie, --gpi-category NOM (sinon le nom du
fichier de sortie sans son extension), l&apos;image par défaut, et une alerte de
proximité à --gpi-alert-m M mètres (de 0 à 65535) sur chaque POI qui n&apos;a pas
de champ « proximity » à lui ; un champ « speed » (km/h) donne une alerte de
vitesse. Ses coordonnées sont en unités Garmin (2^31 pour 180 degrés) :
l&apos;écriture déplace une coordonnée de 4,7 mm au plus, et une coordonnée d&apos;au plus
7 décimales se relit telle qu&apos;écrite. Ce qu&apos;un GPI contient au-delà d&apos;un
waypoint voyage dans les champs « category », « proximity », « speed »,
« street », « house_number », « postal_code », « city », « state », « country »,
« phone », « phone2 », « fax », « email » et « web ». Un fichier ASC contient un
texte par POI (nom et description joints). Un KMZ est lu dans des limites : une
archive de 1 Gio au plus, dont le KML se décompresse en 4 Gio au plus et, passé
64 Mio, en 100 fois la taille de l&apos;archive au plus.

Les distances sont des distances de grand cercle sur une sphère de rayon
6 378 138 m (loi des cosinus sphérique sur des coordonnées tenues en flottants
32 bits), tronquées au mètre.

Commandes :
</translation>
    </message>
    <message>
        <location filename="../usage.cpp" line="70"/>
        <source>--at: write every POI within R km of the point, nearest first (equal
distances in file order), every field kept; the file streams through
(memory for the POIs found, not the file). --base: load, distance run
from row N, write rows 1..k, k the last row within R km (what a
Shift-click selects in the window, as the window writes it). Prints
&quot;&lt;k&gt; POIs&quot;, or with --json the POIs written as JSON (with OUT &apos;-&apos;,
the JSON alone).</source>
        <translation>--at : écrit chaque POI à R km au plus du point, le plus proche d&apos;abord
(à distance égale, dans l&apos;ordre du fichier), chaque champ gardé ; le fichier
est lu au fil de l&apos;eau (mémoire pour les POI trouvés, pas pour le fichier).
--base : charge, calcule les distances depuis la ligne N, écrit les lignes 1..k,
k la dernière ligne à R km au plus (ce que sélectionne un Maj-clic dans la
fenêtre, écrit comme la fenêtre l&apos;écrit). Affiche « &lt;k&gt; POI », ou avec --json
les POI écrits en JSON (avec OUT &apos;-&apos;, le JSON seul).</translation>
    </message>
    <message>
        <location filename="../cli_arguments.cpp" line="93"/>
        <source>%1 needs two values</source>
        <translation>%1 attend deux valeurs</translation>
    </message>
    <message>
        <location filename="../cli_records.cpp" line="156"/>
        <source>cannot read a temporary file</source>
        <translation>impossible de lire un fichier temporaire</translation>
    </message>
    <message>
        <location filename="../near_command.cpp" line="99"/>
        <source>near needs --at LAT LON or --base N, and --radius-km R</source>
        <translation>near attend --at LAT LON ou --base N, et --radius-km R</translation>
    </message>
    <message>
        <location filename="../near_command.cpp" line="110"/>
        <source>near --at writes %1</source>
        <translation>near --at écrit en %1</translation>
    </message>
    <message>
        <location filename="../convert_command.cpp" line="60"/>
        <source>merge needs at least two inputs and an output (see --help)</source>
        <translation>merge demande au moins deux entrées et une sortie (voir --help)</translation>
    </message>
    <message>
        <location filename="../cli_tables.cpp" line="59"/>
        <source>%1 is one of the inputs: %2 writes to a file of its own</source>
        <translation>%1 est l&apos;une des entrées : %2 écrit dans un fichier distinct</translation>
    </message>
    <message>
        <location filename="../dedupe_command.cpp" line="24"/>
        <source>dedupe needs --within-m M</source>
        <translation>dedupe demande --within-m M</translation>
    </message>
    <message>
        <location filename="../dedupe_command.cpp" line="14"/>
        <source>%1 duplicates removed, %2</source>
        <translation>%1 doublons retirés, %2</translation>
    </message>
    <message>
        <location filename="../along_command.cpp" line="71"/>
        <source>along needs --within-km D</source>
        <translation>along demande --within-km D</translation>
    </message>
    <message>
        <location filename="../along_command.cpp" line="32"/>
        <source>%1: the route has no point</source>
        <translation>%1 : la route n&apos;a aucun point</translation>
    </message>
    <message>
        <location filename="../json_output.cpp" line="16"/>
        <source>%1 m</source>
        <translation>%1 m</translation>
    </message>
    <message>
        <location filename="../json_output.cpp" line="17"/>
        <source>%1 km and %2 m</source>
        <translation>%1 km  et  %2 m</translation>
    </message>
    <message>
        <location filename="../geodesy_commands.cpp" line="39"/>
        <source>no crossing can be computed: division by zero (a route along a meridian)</source>
        <translation>aucun croisement calculable : division par zéro (une route le long d&apos;un méridien)</translation>
    </message>
    <message>
        <location filename="../geodesy_commands.cpp" line="41"/>
        <source>no crossing can be computed: floating-point overflow</source>
        <translation>aucun croisement calculable : débordement de capacité en virgule flottante</translation>
    </message>
    <message>
        <location filename="../geodesy_commands.cpp" line="42"/>
        <source>no crossing can be computed: invalid floating-point operation</source>
        <translation>aucun croisement calculable : opération en virgule flottante incorrecte</translation>
    </message>
    <message>
        <source>not a GPI file</source>
        <translation>ce n&apos;est pas un fichier GPI</translation>
    </message>
    <message>
        <source>too many POIs for one GPI file (it holds at most 4 GiB)</source>
        <translation>trop de POI pour un seul fichier GPI (il contient 4 Gio au plus)</translation>
    </message>
    <message>
        <source>%1 texts longer than a GPI file holds (65,535 bytes) were cut</source>
        <translation>%1 textes plus longs que ce qu&apos;un fichier GPI contient (65 535 octets) ont été coupés</translation>
    </message>
    <message>
        <source>%1: texts in code page %2, which cannot be read (an encrypted file?)</source>
        <translation>%1 : textes dans la page de code %2, qui ne peut être lue (un fichier chiffré ?)</translation>
    </message>
    <message>
        <source>%1: cannot write a temporary file</source>
        <translation>%1 : impossible d&apos;écrire un fichier temporaire</translation>
    </message>
    <message>
        <source>%1: damaged GPI file: the record after POI %2 is cut or its lengths are wrong</source>
        <translation>%1 : fichier GPI endommagé : l&apos;enregistrement qui suit le POI %2 est coupé ou ses longueurs sont fausses</translation>
    </message>
    <message>
        <source>%1: damaged GPI file: what follows POI %2 left out</source>
        <translation>%1 : fichier GPI endommagé : ce qui suit le POI %2 est écarté</translation>
    </message>
    <message>
        <source>%1: ASC line %2 (not counting comments and blank lines) has no two numbers for coordinates</source>
        <translation>%1 : la ligne ASC %2 (sans compter les commentaires et les lignes vides) n&apos;a pas deux nombres pour coordonnées</translation>
    </message>
    <message>
        <source>the KMZ archive could not be made</source>
        <translation>l&apos;archive KMZ n&apos;a pas pu être faite</translation>
    </message>
    <message>
        <source>not a KMZ file (no zip archive)</source>
        <translation>ce n&apos;est pas un fichier KMZ (pas d&apos;archive zip)</translation>
    </message>
    <message>
        <source>%1: the KMZ archive holds no KML file (doc.kml or a .kml at its top level)</source>
        <translation>%1 : l&apos;archive KMZ ne contient aucun fichier KML (doc.kml ou un .kml à sa racine)</translation>
    </message>
    <message>
        <source>%1: the KMZ archive is larger than it may be, or its KML inflates too far (a zip bomb?)</source>
        <translation>%1 : l&apos;archive KMZ est plus grande que permis, ou son KML se décompresse trop (une bombe zip ?)</translation>
    </message>
    <message>
        <source>%1: damaged KMZ archive: its KML cannot be inflated whole</source>
        <translation>%1 : archive KMZ endommagée : son KML ne peut être décompressé en entier</translation>
    </message>
    <message>
        <source>%1: the KML file in the KMZ archive is not a KML file</source>
        <translation>%1 : le fichier KML de l&apos;archive KMZ n&apos;est pas un fichier KML</translation>
    </message>
    <message>
        <source>--gpi-alert-m takes a distance from 0 to %1 metres</source>
        <translation>--gpi-alert-m demande une distance de 0 à %1 mètres</translation>
    </message>
    <message>
        <source>%1: waypoint %2 is cut short by the end of the file</source>
        <translation>%1 : le waypoint %2 est coupé par la fin du fichier</translation>
    </message>
    <message>
        <source>%1: placemark %2 is cut short by the end of the file</source>
        <translation>%1 : le repère %2 est coupé par la fin du fichier</translation>
    </message>
    <message>
        <source>%1: GeoJSON feature %2 holds a number out of range: %3</source>
        <translation>%1 : l&apos;objet GeoJSON %2 contient un nombre hors limites : %3</translation>
    </message>
    <message>
        <location filename="../../src/files/geojson_codec.cpp" line="250"/>
        <source>%1: %2 features that are no points (lines, areas, none) left out</source>
        <translation>%1 : %2 entités qui ne sont pas des points (lignes, surfaces, sans géométrie) laissées de côté</translation>
    </message>
    <message>
        <source>
While a command reads a file of POIs a block at a time (convert, merge, near,
along), a line on standard error shows how far it has come: the percentage of
the file read, the rate and the time left, redrawn in place and cleared at the
end. It is shown when standard error is a terminal and the input a file;
--progress shows it in any case (to a pipe, for standard input), --quiet
never; the two together are bad usage.
</source>
        <translation>
Pendant qu&apos;une commande lit un fichier de POI bloc par bloc (convert, merge,
near, along), une ligne sur la sortie d&apos;erreur montre où elle en est : le
pourcentage du fichier lu, le débit et le temps restant, redessinée sur place
et effacée à la fin. Elle s&apos;affiche quand la sortie d&apos;erreur est un terminal et
l&apos;entrée un fichier ; --progress l&apos;affiche dans tous les cas (vers un tube, pour
l&apos;entrée standard), --quiet jamais ; les deux ensemble sont un mauvais usage.
</translation>
    </message>
    <message>
        <source>%1 MiB</source>
        <translation>%1 Mio</translation>
    </message>
    <message>
        <source>%1 read, %2/s</source>
        <translation>%1 lus, %2/s</translation>
    </message>
    <message>
        <source>%1% of %2, %3/s, %4 left</source>
        <translation>%1 % de %2, %3/s, reste %4</translation>
    </message>
    <message>
        <source>--quiet and --progress cannot go together</source>
        <translation>--quiet et --progress ne vont pas ensemble</translation>
    </message>
    <message>
        <source>not enough memory for this input</source>
        <translation>pas assez de mémoire pour cette entrée</translation>
    </message>
</context>
</TS>
