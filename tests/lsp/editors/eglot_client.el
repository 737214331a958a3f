;;; eglot_client.el --- Emacs and eglot drive partsc --lsp  -*- lexical-binding: t; -*-
;; Takes the set-up of the editors page as a user's init file would, the
;; snippet that names a settings file first; opens a source with three
;; mistakes (parts-mode comes from its content), starts eglot on it and
;; writes the diagnostics flymake shows, how the server ended after eglot
;; shut it down, and the mode of new files, one a line, to $PARTSC_OUT.
(defvar partsc-test-lines '())
(defun partsc-test-say (format-string &rest args)
  (push (apply #'format format-string args) partsc-test-lines))

(defun partsc-test-finish (code)
  (with-temp-file (getenv "PARTSC_OUT")
    (insert (mapconcat #'identity (reverse partsc-test-lines) "\n") "\n"))
  (kill-emacs code))

(condition-case problem
    (progn
      (load (getenv "PARTSC_SNIPPET_SETTINGS") nil t)
      (load (getenv "PARTSC_SNIPPET_SETUP") nil t)
      (require 'eglot)
      (require 'flymake)
      (find-file (getenv "PARTSC_SOURCE"))
      (partsc-test-say "mode %s" major-mode)
      (apply #'eglot (eglot--guess-contact))
      (flymake-mode 1)
      (with-timeout (20 (error "no diagnostics within 20 s"))
        (while (< (length (flymake-diagnostics)) 2)
          (accept-process-output nil 0.05)
          (flymake-start)))
      (dolist (d (sort (flymake-diagnostics)
                       (lambda (a b) (< (flymake-diagnostic-beg a) (flymake-diagnostic-beg b)))))
        (save-excursion
          (goto-char (flymake-diagnostic-beg d))
          (partsc-test-say "diagnostic %d:%d %s %s" (line-number-at-pos) (1+ (current-column))
                           (flymake-diagnostic-type d) (flymake-diagnostic-text d))))
      (eglot-shutdown (eglot-current-server))
      (let ((status (getenv "PARTSC_STATUS")))
        (with-timeout (10 (error "the server did not end within 10 s"))
          (while (not (file-exists-p status))
            (sleep-for 0.05)))
        (sleep-for 0.1)
        (partsc-test-say "server ended with %s"
                         (string-trim (with-temp-buffer (insert-file-contents status)
                                                        (buffer-string)))))
      ;; New files: in a library folder, and one that becomes a source when saved.
      (find-file (getenv "PARTSC_NEW_IN_LIBRARY"))
      (partsc-test-say "new in library %s" major-mode)
      (find-file (getenv "PARTSC_NEW"))
      (partsc-test-say "new %s" major-mode)
      (insert "$$PARTS !new!\n")
      (save-buffer)
      (partsc-test-say "new saved %s" major-mode)
      (partsc-test-finish 0))
  (error (partsc-test-say "error %S" problem) (partsc-test-finish 1)))
