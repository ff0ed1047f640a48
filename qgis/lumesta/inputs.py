"""The files lumesta-cli is given for the layers of a run. A layer whose file lumesta-cli reads
itself (its name ending as the option tables list and its format the one that ending stands
for) is passed as it is; any other GDAL source (a GeoPackage table, a VRT the program does not
read, a subdataset) is passed as a VRT when the program reads VRTs through GDAL, otherwise as a
plain GeoTIFF copy. Everything made for a run lives in its workspace, removed at the end."""

import glob
import os
import shutil
import tempfile

from osgeo import gdal
from qgis.core import QgsProcessingException, QgsProcessingUtils, QgsProviderRegistry

# The format each name ending stands for in lumesta-cli's own readers.
OWN_READERS = {'.img': 'ENVI', '.rst': 'RST', '.tif': 'GTiff'}


class Workspace:
    """A temporary folder for one run. `paths` maps every path given to lumesta-cli to the
    layer's own, so messages name the user's files."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix='lumesta-', dir=QgsProcessingUtils.tempFolder())
        self.paths = {}
        self.count = 0

    def remove(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def shown(self, text):
        """The text with the layers' own paths for those given to lumesta-cli."""
        for given, original in self.paths.items():
            text = text.replace(given, original)
        return text

    def new_folder(self):
        self.count += 1
        folder = os.path.join(self.folder, 'in{}'.format(self.count))
        os.mkdir(folder)
        return folder

    def link(self, path):
        """The file (with its header and companions) linked into a folder of its own, so the
        results lumesta-cli writes beside its inputs land in the workspace."""
        folder = self.new_folder()
        stem = os.path.splitext(path)[0]
        for companion in glob.glob(glob.escape(stem) + '.*'):
            os.symlink(os.path.abspath(companion), os.path.join(folder, os.path.basename(companion)))
        linked = os.path.join(folder, os.path.basename(path))
        self.paths[linked] = path
        return linked

    def copy(self, source, name, readers):
        """A GDAL source as a file lumesta-cli reads: a VRT, or a plain GeoTIFF."""
        base = os.path.splitext(os.path.basename(name))[0] or 'layer'
        if '.vrt' in readers:
            target = os.path.join(self.new_folder(), base + '.vrt')
            options = gdal.TranslateOptions(format='VRT')
        else:
            target = os.path.join(self.new_folder(), base + '.tif')
            options = gdal.TranslateOptions(
                format='GTiff', creationOptions=['INTERLEAVE=BAND', 'TILED=NO', 'COMPRESS=NONE'])
        try:
            done = gdal.Translate(target, source, options=options)
        except RuntimeError as error:
            done = None
            gdal.ErrorReset()
            reason = str(error)
        else:
            reason = gdal.GetLastErrorMsg()
        if done is None:
            raise QgsProcessingException('Cannot read {}: {}'.format(name, reason))
        done = None
        self.paths[target] = name
        return target


def gdal_source(layer, parameter):
    """The GDAL dataset name and file path of a raster layer."""
    if layer is None:
        raise QgsProcessingException('No layer was given for {}.'.format(parameter))
    if layer.providerType() != 'gdal':
        raise QgsProcessingException(
            '{}: the layer {} is not read through GDAL ({}); save it as a GeoTIFF first.'
            .format(parameter, layer.name(), layer.providerType()))
    source = layer.source().split('|')[0]
    parts = QgsProviderRegistry.instance().decodeUri('gdal', layer.source())
    return source, parts.get('path') or source, parts.get('layerName')


def input_files(layer):
    """The real paths of a layer's file and of the files beside it with its name (its header)."""
    if layer is None or layer.providerType() != 'gdal':
        return set()
    path = QgsProviderRegistry.instance().decodeUri('gdal', layer.source()).get('path') or ''
    if not os.path.isfile(path):
        return set()
    stem = os.path.splitext(path)[0]
    return {os.path.realpath(f) for f in glob.glob(glob.escape(stem) + '.*')} | {os.path.realpath(path)}


def reads_itself(path, layer_name, readers):
    """Whether lumesta-cli reads this file as it is."""
    ending = os.path.splitext(path)[1].lower()
    if layer_name or ending not in readers or not os.path.isfile(path):
        return False
    if ending not in OWN_READERS:
        return True  # read through GDAL by lumesta-cli
    dataset = gdal.OpenEx(path, gdal.OF_RASTER)
    driver = dataset.GetDriver().ShortName if dataset else ''
    dataset = None
    return driver == OWN_READERS[ending]


def layer_file(layer, parameter, readers, workspace, beside_inputs):
    """The path lumesta-cli is given for a layer. `readers` are the name endings the option
    reads; with `beside_inputs`, the tool writes its results beside the file, so it is linked
    into the workspace."""
    source, path, layer_name = gdal_source(layer, parameter)
    if reads_itself(path, layer_name, readers):
        return workspace.link(path) if beside_inputs else path
    return workspace.copy(source, layer.source().split('|')[0] if layer_name else path, readers)
