"""Runs that stop leave no file: lumesta:pansharpen cancelled once lumesta-cli reports progress
ends as cancelled with neither its result nor its temporary folder left; bad parameters are
refused with an error naming them, by the provider before the run (an OUTPUT over an input's
file, five MS layers) or by lumesta-cli (a ratio it does not take).
Usage: python3 stopped_runs.py PLUGIN_FOLDER SCENE_FOLDER OUTPUT_FOLDER"""

import glob
import os
import sys

from qgis.core import (QgsApplication, QgsProcessingContext, QgsProcessingFeedback,
                       QgsProcessingUtils)

plugins, scene, folder = sys.argv[1:4]
application = QgsApplication([], False)
application.initQgis()
sys.path[:0] = [plugins, '/usr/share/qgis/python/plugins']
from lumesta.provider import LumestaProvider  # noqa: E402 (after QGIS has started)

provider = LumestaProvider()
QgsApplication.processingRegistry().addProvider(provider)
failures = []


class Feedback(QgsProcessingFeedback):
    def __init__(self, cancel):
        super().__init__()
        self.errors, self.progress = [], []
        if cancel:
            self.progressChanged.connect(lambda percent: (self.progress.append(percent),
                                                          self.cancel()))

    def reportError(self, error, fatalError=False):  # noqa: N802 (QGIS's name)
        self.errors.append(error)


def run(algorithm, parameters, cancel=False):
    feedback = Feedback(cancel)
    results, finished = QgsApplication.processingRegistry().createAlgorithmById(
        'lumesta:' + algorithm).run(parameters, QgsProcessingContext(), feedback)
    return finished, feedback


def refused(algorithm, parameters, start):
    valid, message = QgsApplication.processingRegistry().createAlgorithmById(
        'lumesta:' + algorithm).checkParameterValues(parameters, QgsProcessingContext())
    if valid or not message.startswith(start):
        failures.append('not refused with "{}": {}'.format(start, message))


os.mkdir(folder)
bands = [os.path.join(scene, band + '.img') for band in ('blue', 'green', 'red', 'nir')]
fusion = {'PAN': os.path.join(scene, 'pan.img'), 'MS': bands, 'METHOD': 'glp-hpm',
          'OUTPUT': os.path.join(folder, 'fused.img'), 'BMP': os.path.join(folder, 'fused.bmp')}
finished, feedback = run('pansharpen', fusion, cancel=True)
if finished or feedback.errors != ['The run was cancelled.']:
    failures.append('not cancelled: {}'.format(feedback.errors))
if not feedback.progress:
    failures.append('no progress reached the feedback')
if glob.glob(os.path.join(QgsProcessingUtils.tempFolder(), 'lumesta-*')):
    failures.append('the temporary folder of the run is left')
if glob.glob(os.path.join(scene, '*_Fused*')):
    failures.append('results beside the inputs')

refused('pansharpen', dict(fusion, OUTPUT=bands[0]), 'OUTPUT: {} is a file of an input layer'
        .format(bands[0]))
refused('pansharpen', dict(fusion, MS=bands + bands[:1]),
        'MS: give one multi-band layer or at most 4 band layers')
finished, feedback = run('qualitywald', {'PAN': fusion['PAN'], 'MS': bands, 'RATIO': 2000000,
                                         'OUTPUT': os.path.join(folder, 'wald.csv')})
if finished or not feedback.errors[0].startswith('Incorrect parameter value for RATIO: --ratio'):
    failures.append('a ratio lumesta-cli refuses: {}'.format(feedback.errors))
if os.listdir(folder):
    failures.append('files left: {}'.format(os.listdir(folder)))
print('\n'.join(failures) or 'stopped runs leave no file')
sys.exit(1 if failures else 0)
